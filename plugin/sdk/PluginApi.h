/* The binary interface between the Corvanta program and its plug-in libraries.
 *
 * The program fills one HostApi table and hands its address to every plug-in's Initialize; the plug-in
 * copies the whole table (sizeof) and calls back through it, passing the request context it received in
 * OnRequest as the first argument of every slot. A plug-in exports the eight functions below with C
 * linkage. All text crossing the interface is UTF-8 (`const char*`); local paths use "/" and a local
 * folder path ends with "/". No C++ exception crosses the interface in either direction.
 * OnRequest runs on the connection's thread, whose stack is 512 KiB: large buffers belong on the heap.
 * This header is C-compatible and has no state; it is shared by the program and the plug-ins. */
#ifndef CORVANTA_PLUGIN_API_H
#define CORVANTA_PLUGIN_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Bits of GetPlugInType. */
enum {
    CORVANTA_PLUGIN_TYPE_VIEW = 1,            /* listed among the page's views */
    CORVANTA_PLUGIN_TYPE_ACTION = 2,          /* applied to the selected entries of a folder page */
    CORVANTA_PLUGIN_TYPE_VIEW_EXCEPT_ROOT = 4 /* listed among the views on every page but the root */
};

/* Results of HostApi::GetRequestMethod. */
enum { CORVANTA_METHOD_GET = 0, CORVANTA_METHOD_POST = 1, CORVANTA_METHOD_OTHER = 2 };

/* Levels of HostApi::WriteLog (the program's trace levels). */
enum {
    CORVANTA_LOG_DEBUG = 1,
    CORVANTA_LOG_INFO = 2,
    CORVANTA_LOG_ERROR = 4,
    CORVANTA_LOG_WARNING = 8,
    CORVANTA_LOG_NOTICE = 16,
    CORVANTA_LOG_ALERT = 32
};

/* Called once per share name by HostApi::EnumShares; returning 0 stops the enumeration. */
typedef int (*CorvantaEnumSharesCallback)(const char* name, int user);

/* The twenty host functions, in slot order. Every one takes the request context first. Strings returned
 * by slots 2, 3, 4, 8, 9 and 10 live until the request ends; those of slots 0, 5, 11 and 12 during
 * OnRequest; that of slot 6 until the next call of slot 6. */
typedef struct HostApi {
    /* 0: absolute folder of the plug-in serving this request (no trailing "/"). */
    const char* (*GetPluginDirectory)(void* context);
    /* 1: CORVANTA_METHOD_GET, _POST or _OTHER. */
    int (*GetRequestMethod)(void* context);
    /* 2: the protocol word of the request line as received, e.g. "HTTP/1.1". */
    const char* (*GetHttpVersion)(void* context);
    /* 3: the request URI as received, query included. */
    const char* (*GetRequestUri)(void* context);
    /* 4: the decoded request path without its leading "/" ("" at the root, "music/" for /music/). */
    const char* (*GetRequestPath)(void* context);
    /* 5: the local path of the request path, or NULL when it names no share. */
    const char* (*GetRequestLocalPath)(void* context);
    /* 6: the local path of a virtual path (one leading "/" ignored), or NULL when it names no share or
     * is not a safe path; a virtual path ending with "/" gives a local path ending with "/". */
    const char* (*GetLocalPath)(void* context, const char* virtualPath);
    /* 7: calls back once per share name in the program's order and returns the number of calls (the
     * stopping call included), or -1 when listing the root is not allowed. */
    int (*EnumShares)(void* context, CorvantaEnumSharesCallback callback, int user);
    /* 8: the value of the request header of exactly that (upper-case) name, or NULL. */
    const char* (*GetHeader)(void* context, const char* upperCaseName);
    /* 9: the decoded value of a URL query parameter, or NULL. */
    const char* (*GetQueryParam)(void* context, const char* name);
    /* 10: the decoded value of a field of a URL-encoded POST body, or NULL. */
    const char* (*GetPostParam)(void* context, const char* name);
    /* 11: the client's dotted IPv4 address. */
    const char* (*GetClientAddress)(void* context);
    /* 12, 13: the host name and port under which the client reached the server. */
    const char* (*GetServerHost)(void* context);
    int (*GetServerPort)(void* context);
    /* 14-17: the response. Each returns 1, or 0 when the connection failed. */
    int (*BeginResponse)(void* context, int code, const char* reason);
    int (*SendHeader)(void* context, const char* name, const char* value);
    int (*SendBody)(void* context, const char* data, int length);
    int (*EndResponse)(void* context);
    /* 18: one line in the program's log at a CORVANTA_LOG_* level, prefixed with the plug-in id. */
    void (*WriteLog)(void* context, int level, const char* text);
    /* 19: the user-interface translation of a built-in text into buffer (size bytes, NUL included);
     * returns the number of bytes written before the NUL. */
    int (*TranslateText)(void* context, char* buffer, int size, const char* text);
} HostApi;

/* The exports, by the names the host binds. GetRequiredAuthority is optional for the host ("LD" when
 * missing); the other seven are required. */
typedef void* (*CorvantaInitializeFunction)(const HostApi* api);
typedef void (*CorvantaFinalizeFunction)(void);
typedef const char* (*CorvantaGetTextFunction)(void); /* name, author, version, required rights */
typedef int (*CorvantaGetTypeFunction)(void);
typedef int (*CorvantaOnRequestFunction)(void* context);

#define CORVANTA_EXPORT_INITIALIZE "Initialize"
#define CORVANTA_EXPORT_FINALIZE "Finalize"
#define CORVANTA_EXPORT_GET_NAME "GetPlugInName"
#define CORVANTA_EXPORT_GET_AUTHOR "GetPlugInAuthor"
#define CORVANTA_EXPORT_GET_VERSION "GetPlugInVersion"
#define CORVANTA_EXPORT_GET_TYPE "GetPlugInType"
#define CORVANTA_EXPORT_GET_REQUIRED_AUTHORITY "GetRequiredAuthority"
#define CORVANTA_EXPORT_ON_REQUEST "OnRequest"

/* Declarations of the exports, seen only inside a plug-in build. */
#ifdef CORVANTA_PLUGIN_BUILD
#define CORVANTA_PLUGIN_EXPORT __attribute__((visibility("default")))
CORVANTA_PLUGIN_EXPORT void* Initialize(const HostApi* api);
CORVANTA_PLUGIN_EXPORT void Finalize(void);
CORVANTA_PLUGIN_EXPORT const char* GetPlugInName(void);
CORVANTA_PLUGIN_EXPORT const char* GetPlugInAuthor(void);
CORVANTA_PLUGIN_EXPORT const char* GetPlugInVersion(void);
CORVANTA_PLUGIN_EXPORT int GetPlugInType(void);
CORVANTA_PLUGIN_EXPORT const char* GetRequiredAuthority(void);
CORVANTA_PLUGIN_EXPORT int OnRequest(void* context);
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_PLUGIN_API_H */
