// Lock rules the compiler checks: Clang's thread-safety attributes under short names. A lock type is a
// CAPABILITY, its scoped guard a SCOPED_CAPABILITY; a member names the lock that guards it with
// GUARDED_BY (PT_GUARDED_BY for what a pointer member points to), a function the lock its caller must
// hold with REQUIRES, and a lock the order it is taken in with ACQUIRED_BEFORE / ACQUIRED_AFTER.
// A clang build with -Wthread-safety checks them (scripts/build check); other compilers see nothing.
// NO_THREAD_SAFETY_ANALYSIS is for the few functions whose locking the analysis cannot follow (a lock
// handed between threads, a lock chosen at run time); each use says why beside it.
// Header only and free of includes, so the lowest layer and the plug-ins may use it.
#pragma once

#if defined(__clang__)
#define CORVANTA_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define CORVANTA_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) CORVANTA_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY CORVANTA_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) CORVANTA_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) CORVANTA_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) CORVANTA_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) CORVANTA_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))
#define REQUIRES(...) CORVANTA_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) CORVANTA_THREAD_ATTRIBUTE(requires_shared_capability(__VA_ARGS__))
#define ACQUIRE(...) CORVANTA_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) CORVANTA_THREAD_ATTRIBUTE(acquire_shared_capability(__VA_ARGS__))
#define RELEASE(...) CORVANTA_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) CORVANTA_THREAD_ATTRIBUTE(release_shared_capability(__VA_ARGS__))
#define RELEASE_GENERIC(...) CORVANTA_THREAD_ATTRIBUTE(release_generic_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) CORVANTA_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define TRY_ACQUIRE_SHARED(...) CORVANTA_THREAD_ATTRIBUTE(try_acquire_shared_capability(__VA_ARGS__))
#define EXCLUDES(...) CORVANTA_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) CORVANTA_THREAD_ATTRIBUTE(assert_capability(x))
#define RETURN_CAPABILITY(x) CORVANTA_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS CORVANTA_THREAD_ATTRIBUTE(no_thread_safety_analysis)
