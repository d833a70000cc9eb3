// Whether a browser says that a request comes from a page of another origin, so that a request that
// changes something (an upload, a new folder, a logout) can be refused: a page of any site can make a
// visitor's browser send them, with the credentials it holds for this server.
// The browser's own word decides where it gives one ("Sec-Fetch-Site", which a page cannot forge and
// which also stands when a skin's referrer policy blanks "Origin"); else the "Origin" header, else
// "Referer", whose host and port must be the request's "Host". A request without any of them (a script,
// curl, an old browser) is taken as it comes. Stateless; any thread.
#pragma once

#include "core/http/HeaderParsing.h"

namespace Vuxo {

bool ComesFromAnotherOrigin(const HttpFieldMap& headers);

} // namespace Vuxo
