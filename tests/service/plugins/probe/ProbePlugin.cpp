// A plug-in library for the host's tests. Compiled several times with different identities:
//   PROBE_TYPE (int), PROBE_AUTHORITY (text; without it there is no GetRequiredAuthority export),
//   PROBE_NO_ON_REQUEST (no OnRequest export, so the host must refuse it).
// OnRequest does what the query parameter "probe" asks and reports what the host's slots answered, so
// the tests see the host table through the real HTTP path. A few extra exports (Probe*) let a test that
// opened the same library read the module's counters and hold a request inside OnRequest.
#include "plugin/sdk/PluginApi.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

HostApi g_host{};
bool g_started = false;
int g_initializeCalls = 0;
int g_finalizeCalls = 0;
int g_instance = 0; // the address handed back from Initialize

std::mutex g_mutex;
std::condition_variable g_changed;
int g_blocked = 0;
bool g_released = false;

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string("(null)");
}

std::string Query(void* context, const char* name) {
    const char* value = g_host.GetQueryParam(context, name);
    return value != nullptr ? value : "";
}

// A number from the query, 0 when absent. GCC 12 at -O3 warns falsely here (-Wrestrict inside
// libstdc++'s char_traits for "literal" + std::string, a known fault of that compiler), so the warning is
// off for this function only.
#pragma GCC diagnostic push
#ifndef __clang__ // which has no such warning, and refuses to ignore an unknown one
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
int QueryNumber(void* context, const char* name) {
    return std::stoi("0" + Query(context, name));
}
#pragma GCC diagnostic pop

int Respond(void* context, const std::string& body) {
    g_host.BeginResponse(context, 200, "OK");
    g_host.SendHeader(context, "Content-Type", "text/plain; charset=utf-8");
    g_host.SendHeader(context, "Content-Length", std::to_string(body.size()).c_str());
    g_host.SendBody(context, body.data(), static_cast<int>(body.size()));
    return g_host.EndResponse(context);
}

std::string* g_shareNames = nullptr;
int g_stopAfter = 0;

int NoteShare(const char* name, int user) {
    g_shareNames->append(name).append(",");
    return --g_stopAfter > 0 ? user : 0;
}

std::string ReportSlots(void* context) {
    std::string out;
    out += "dir=" + Text(g_host.GetPluginDirectory(context)) + "\n";
    out += "method=" + std::to_string(g_host.GetRequestMethod(context)) + "\n";
    out += "version=" + Text(g_host.GetHttpVersion(context)) + "\n";
    out += "uri=" + Text(g_host.GetRequestUri(context)) + "\n";
    out += "path=" + Text(g_host.GetRequestPath(context)) + "\n";
    out += "requestlocal=" + Text(g_host.GetRequestLocalPath(context)) + "\n";
    out += "header=" + Text(g_host.GetHeader(context, "X-PROBE")) + "\n";
    out += "lowerheader=" + Text(g_host.GetHeader(context, "x-probe")) + "\n";
    out += "query=" + Text(g_host.GetQueryParam(context, "q")) + "\n";
    out += "post=" + Text(g_host.GetPostParam(context, "p")) + "\n";
    out += "selected=" + Text(g_host.GetPostParam(context, "selectedFiles")) + "\n";
    out += "client=" + Text(g_host.GetClientAddress(context)) + "\n";
    out += "host=" + Text(g_host.GetServerHost(context)) + "\n";
    out += "port=" + std::to_string(g_host.GetServerPort(context)) + "\n";
    return out;
}

// One line per line of the POST field "paths": the virtual path and what slot 6 made of it.
std::string ReportPaths(void* context) {
    std::string out;
    std::string paths = Text(g_host.GetPostParam(context, "paths"));
    size_t start = 0;
    while (start < paths.size()) {
        size_t end = paths.find('\n', start);
        if (end == std::string::npos) {
            end = paths.size();
        }
        const std::string line = paths.substr(start, end - start);
        out += line + " => " + Text(g_host.GetLocalPath(context, line.c_str())) + "\n";
        start = end + 1;
    }
    return out;
}

std::string ReportShares(void* context) {
    std::string names;
    g_shareNames = &names;
    g_stopAfter = QueryNumber(context, "stop");
    const int count = g_host.EnumShares(context, &NoteShare, 1);
    g_shareNames = nullptr;
    return "count=" + std::to_string(count) + "\nnames=" + names + "\n";
}

std::string ReportTranslation(void* context) {
    const int size = QueryNumber(context, "size");
    const std::string text = Query(context, "text");
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    const int written = g_host.TranslateText(context, buffer, size, text.empty() ? nullptr : text.c_str());
    std::string out = "written=" + std::to_string(written) + "\n";
    if (size > 0) {
        out += "text=" + std::string(buffer) + "\n";
    } else {
        out += "untouched=" + std::string(buffer[0] == '#' ? "yes" : "no") + "\n";
    }
    return out;
}

// Calls the response slots out of order and reports each result in the body.
int RespondOutOfOrder(void* context) {
    std::string results;
    results += std::to_string(g_host.SendHeader(context, "X-Early", "1"));
    results += std::to_string(g_host.SendBody(context, "early", 5));
    results += std::to_string(g_host.EndResponse(context));
    results += std::to_string(g_host.BeginResponse(context, 200, "OK"));
    results += std::to_string(g_host.BeginResponse(context, 500, "Again"));
    results += std::to_string(g_host.SendHeader(context, "X-Probe", "yes"));
    results += std::to_string(g_host.SendBody(context, "[", 1));
    results += std::to_string(g_host.SendHeader(context, "X-Late", "1"));
    results += std::to_string(g_host.SendBody(context, nullptr, 3));
    results += std::to_string(g_host.SendBody(context, "x", -1));
    g_host.SendBody(context, results.data(), static_cast<int>(results.size()));
    g_host.SendBody(context, "]", 1);
    return g_host.EndResponse(context);
}

int Block(void* context) {
    g_host.BeginResponse(context, 200, "OK");
    g_host.SendHeader(context, "Content-Length", "8");
    std::unique_lock<std::mutex> lock(g_mutex);
    ++g_blocked;
    g_changed.notify_all();
    g_changed.wait(lock, [] { return g_released; });
    --g_blocked;
    lock.unlock();
    g_host.SendBody(context, "released", 8);
    return g_host.EndResponse(context);
}

} // namespace

extern "C" {

PROBE_EXPORT void* Initialize(const HostApi* api) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_initializeCalls;
    g_host = *api;
    g_started = true;
    return &g_instance;
}

PROBE_EXPORT void Finalize(void) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_finalizeCalls;
    g_started = false;
    g_changed.notify_all();
}

PROBE_EXPORT const char* GetPlugInName(void) {
    return g_started ? PROBE_NAME : "";
}
PROBE_EXPORT const char* GetPlugInAuthor(void) {
    return "probe@corvanta.test";
}
PROBE_EXPORT const char* GetPlugInVersion(void) {
    return "1.0";
}
PROBE_EXPORT int GetPlugInType(void) {
    return PROBE_TYPE;
}

#ifdef PROBE_AUTHORITY
PROBE_EXPORT const char* GetRequiredAuthority(void) {
    return PROBE_AUTHORITY;
}
#endif

// The body of OnRequest; exported under another name also where OnRequest is left out.
PROBE_EXPORT int ProbeServe(void* context) {
    const std::string what = Query(context, "probe");
    if (what == "throw") {
        throw std::runtime_error("probe failure");
    }
    if (what == "silent") {
        return 7;
    }
    if (what == "order") {
        return RespondOutOfOrder(context);
    }
    if (what == "block") {
        return Block(context);
    }
    if (what == "log") {
        g_host.WriteLog(context, QueryNumber(context, "level"), Query(context, "text").c_str());
        return Respond(context, "logged");
    }
    if (what == "paths") {
        return Respond(context, ReportPaths(context));
    }
    if (what == "shares") {
        return Respond(context, ReportShares(context));
    }
    if (what == "translate") {
        return Respond(context, ReportTranslation(context));
    }
    return Respond(context, ReportSlots(context));
}

#ifndef PROBE_NO_ON_REQUEST
PROBE_EXPORT int OnRequest(void* context) {
    return ProbeServe(context);
}
#endif

// ---- Test hooks ----

PROBE_EXPORT void ProbeCounters(int* initializeCalls, int* finalizeCalls) {
    std::lock_guard<std::mutex> lock(g_mutex);
    *initializeCalls = g_initializeCalls;
    *finalizeCalls = g_finalizeCalls;
}

PROBE_EXPORT int ProbeIsStarted(void) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_started ? 1 : 0;
}

// Waits (at most 30 s, so a broken test fails instead of hanging) until a request sits in "block".
PROBE_EXPORT int ProbeWaitBlocked(void) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30), [] { return g_blocked > 0; }) ? 1 : 0;
}

// Lets blocked requests go on (and every later one through at once); 0 undoes it.
PROBE_EXPORT void ProbeRelease(int released) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_released = released != 0;
    g_changed.notify_all();
}

// Waits (at most 30 s) until Finalize has run `count` times in all.
PROBE_EXPORT int ProbeWaitFinalized(int count) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::seconds(30), [count] { return g_finalizeCalls >= count; })
               ? 1
               : 0;
}

} // extern "C"
