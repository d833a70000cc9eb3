// The message numbers through which core and service producers wake the shell's windows.
#pragma once

namespace Vuxo {

constexpr unsigned kWmUser = 0x0400;

// The tray icon's callback; lParam is the mouse message. A second instance sends it to show the first.
constexpr unsigned WM_TRAY_NOTIFY = kWmUser + 1;
// Tab view to main frame; wParam is the selected tab.
constexpr unsigned WM_TAB_CHANGED = kWmUser + 2;
// Log queue to log view; no parameters.
constexpr unsigned WM_LOG_ADDED = kWmUser + 3;
// Transfer-status aggregator to status view; no parameters.
constexpr unsigned WM_TRANSFER_STATUS_CHANGED = kWmUser + 4;
// Status view to main frame; wParam is the live transfers, lParam their total speed in bytes per second.
constexpr unsigned WM_TRANSFER_SUMMARY = kWmUser + 5;

} // namespace Vuxo
