// The main frame's command ids (as the toolbars, the tray menu, the share list's menu and the keys send
// them), its toolbar bands and its status-bar panes. Constants only.
#pragma once

#include "core/version/ProgramVersion.h"

namespace Vuxo {

enum CommandId : int {
    ID_STARTSTOP = 32772,
    ID_PREFERENCES = 32773,
    ID_ADD_SHARE = 32774,
    ID_EXIT = 32775,
    ID_DELETE_SHARES = 32776,
    ID_SHARE_SETTINGS = 32777,
    ID_LOG_FILTER = 32778,
    ID_CLEAR_LOG = 32779,
    ID_DISCONNECT = 32780,
    ID_SPEED_LIMIT = 32781,
    ID_COPY_ADDRESS = 32782,
    ID_BROWSE = 32783,
    ID_COPY_WEB_ADDRESS = 32792,
    ID_RENAME_SHARE = 32794,
    ID_RESTORE = 32795,
    ID_ABOUT_BUTTON = 32796,
    ID_APP_ABOUT = 57664,
};

// The toolbars, in the order they are laid out; the address box and its buttons start a second row.
// Exactly one of the three tab bands (shares, transfer status, log) shows: the one of the selected tab.
enum BandId : int {
    kBandMain = 0xEB00,
    kBandAbout = 0xEB01,
    kBandAddressBox = 0xEB02,
    kBandAddress = 0xEB03,
    kBandShares = 0xEB04,
    kBandStatus = 0xEB05,
    kBandLog = 0xEB06,
};

// The status bar: the default pane, then speed, connections and the server's state.
enum StatusPane : int {
    kPaneDefault = 0,
    kPaneSpeed = 130,
    kPaneConnections = 131,
    kPaneRunning = 132,
};

// The program's revision and version, as the status bar, the crash report and the about box show them.
constexpr int kRevision = kProgramRevision;
constexpr const char* kVersionText = kProgramVersion;

} // namespace Vuxo
