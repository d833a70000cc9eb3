// CSettingDlg_Throttle: the connection-limit page of the preferences: the total upload and download speed
// limits (KB/s, 1 KB/s = 1000 bytes per second) and the limits on concurrent downloads in total and per
// client address. OK stores them and puts the speed limits into effect at once; the main frame passes the
// connection limits on after OK. Made by COptionPage inside the preferences dialog, which owns it; GUI
// thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace Vuxo {

// A row's number as the user typed it: leading blanks, a sign and digits, the rest ignored; at most
// `maximum`. -1 when the box is not ticked or the number is not above 0.
int ReadLimitValue(bool ticked, const QString& text, int maximum);

class CSettingDlg_Throttle final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_Throttle(OptionEnvironment& environment, QWidget* parent);

    void Apply();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        QCheckBox* box = nullptr;
        QLineEdit* edit = nullptr;
        QLabel* unit = nullptr;
        bool touched = false; // the user changed the box or the number
    };
    enum RowIndex { kUpload, kDownload, kTotalConnections, kPerAddressConnections, kRowCount };

    void AddRow(QWidget* group, RowIndex index, int boxId, int editId, const char* unit);
    void FillRow(RowIndex index, bool ticked, int shown);
    // Gives both groups the same columns, so that the numbers and the units line up.
    void AlignColumns();
    // A connection row that the user changed: `use` and `limit` take what it says (off unless ticked
    // with a number above 0). An untouched row keeps what is stored, whatever it is.
    void ApplyConnectionRow(RowIndex index, std::atomic<bool>& use, std::atomic<int>& limit);

    OptionEnvironment& m_environment;
    Row m_rows[kRowCount];
    QGridLayout* m_grids[2] = {}; // the upload group's, then the download group's
};

} // namespace Vuxo
