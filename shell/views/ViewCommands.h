// The command ids and roles the views share with the main frame. The share list's context menu, its
// double-click and its keys ask the frame to carry out these commands (CMountView::commandRequested);
// the ids are those of the frame's command table. Constants only.
#pragma once

#include <Qt>

namespace Vuxo {

enum ViewCommandId : int {
    kViewCmdDeleteShares = 32776,   // "공유 항목 삭제(&D)"
    kViewCmdShareSettings = 32777,  // "공유 항목 설정(&P)"; a double-click in the share list
    kViewCmdNoSelection = 32787,    // the greyed "한 개 이상의 항목을 선택해주세요"; never sent
    kViewCmdCopyWebAddress = 32792, // "웹 주소를 클립보드로 복사(&C)"
    kViewCmdRenameShare = 32794, // "공유 항목 이름 변경(&R)"; the frame calls CMountView::BeginRename
};

// Item-data roles of the three list models, besides Qt's display, decoration and tool-tip roles.
enum ViewItemRole : int {
    kImageIndexRole = Qt::UserRole + 1, // int: the row's image, -1 for none
    kTransferIdRole,                    // int: the transfer id of a transfer-status row
    kLogLevelRole,                      // int: the level of a log row
    kShareAliasRole,                    // QString: the share's name
    kShareLocalPathRole,                // QString: the share's local path
};

} // namespace Vuxo
