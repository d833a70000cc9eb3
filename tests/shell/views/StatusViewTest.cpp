// The transfer-status view against a real aggregator over a manual clock: rows come and go with the
// transfers, are formatted from snapshots, and the summary follows every refresh.
#include "shell/views/StatusView.h"
#include "core/transfer/Clock.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "shell/views/TransferListModel.h"
#include "shell/views/ViewCommands.h"

#include <QtTest>

#include <memory>
#include <thread>

using namespace Vuxo;
using Column = TransferListModel::Column;

namespace {

void Deliver() {
    QCoreApplication::sendPostedEvents();
}

// Stands for one request's reporter: its address is the transfer's key.
struct Transfer {
    char tag = 0;
    TransferKey Key() const { return &tag; }
};

struct Summary {
    int transfers;
    qint64 speed;
};

Summary LastSummary(const QSignalSpy& spy) {
    const QList<QVariant> last = spy.constLast();
    return Summary{last.at(0).toInt(), last.at(1).toLongLong()};
}

} // namespace

class StatusViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowsFollowTransfersAndShowTheirProgress();
    void textsChangeOnlyWithTheRecord();
    void transferBegunBetweenAnnouncementAndSnapshotShowsItsTexts();
    void summaryWithoutTransfersIsZero();
    void removedTransferLosesItsRow();
    void modelNeverChangesUnderTheAggregatorsLock();
    void selectionQueries();
    void destroyedViewIsNoLongerNotified();

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<GuiTransferStatusAggregator> m_aggregator;
};

void StatusViewTest::init() {
    m_clock = std::make_unique<ManualClock>(100000);
    m_aggregator = std::make_unique<GuiTransferStatusAggregator>(*m_clock);
}

void StatusViewTest::cleanup() {
    m_aggregator.reset();
    m_clock.reset();
}

void StatusViewTest::rowsFollowTransfersAndShowTheirProgress() {
    CStatusView view(*m_aggregator);
    QSignalSpy summaries(&view, &CStatusView::transferSummary);
    GuiTransferStatusAggregator& aggregator = *m_aggregator;

    Transfer download;
    aggregator.SetRequest(download.Key(), "GET /Music/a.mp3");
    aggregator.SetRemoteAddress(download.Key(), "127.0.0.7");
    aggregator.SetUserName(download.Key(), "alice");
    aggregator.SetTotalSize(download.Key(), kDirectionDownload, 8000000);
    aggregator.SetPosition(download.Key(), kDirectionDownload, 2000000);
    Deliver();

    QCOMPARE(view.GetRowCount(), 1);
    TransferListModel& model = view.GetModel();
    QCOMPARE(model.GetText(0, Column::kRequest), QStringLiteral("GET /Music/a.mp3"));
    QCOMPARE(model.GetText(0, Column::kClientAddress), QStringLiteral("127.0.0.7"));
    QCOMPARE(model.GetText(0, Column::kUserName), QStringLiteral("alice"));
    QCOMPARE(model.GetText(0, Column::kProgress), QStringLiteral("25.0% (1,953KB/7,812KB)"));
    QCOMPARE(model.GetText(0, Column::kSpeed), QStringLiteral("0KB/s"));
    QCOMPARE(model.GetText(0, Column::kTimeLeft), QStringLiteral("??:??:??"));
    QCOMPARE(model.GetImageIndex(0), 1);
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(LastSummary(summaries).transfers, 1);
    QCOMPARE(LastSummary(summaries).speed, qint64(0));

    // An upload of unknown length moving at 1,536,000 bytes per second.
    Transfer upload;
    aggregator.SetRequest(upload.Key(), "POST /Inbox");
    aggregator.AddTransferredBytes(upload.Key(), kDirectionUpload, 1536000);
    m_clock->AdvanceMs(1000);
    // The download went on as well: 1,000,000 bytes in that second.
    aggregator.AddTransferredBytes(download.Key(), kDirectionDownload, 1000000);
    Deliver();

    QCOMPARE(view.GetRowCount(), 2);
    int up = -1;
    int down = -1;
    for (int row = 0; row < 2; ++row) {
        (model.GetText(row, Column::kRequest) == QStringLiteral("POST /Inbox") ? up : down) = row;
    }
    QVERIFY(up >= 0 && down >= 0);
    QCOMPARE(model.GetText(up, Column::kProgress), QStringLiteral("1,500KB"));
    QCOMPARE(model.GetText(up, Column::kSpeed), QStringLiteral("1,500KB/s"));
    QCOMPARE(model.GetText(up, Column::kTimeLeft), QStringLiteral("??:??:??"));
    QCOMPARE(model.GetImageIndex(up), 2);
    QCOMPARE(model.GetText(down, Column::kProgress), QStringLiteral("37.5% (2,929KB/7,812KB)"));
    // All 1,000,000 bytes were counted at the same instant as the clock reads now: no time passed for them.
    QCOMPARE(model.GetText(down, Column::kSpeed), QStringLiteral("0KB/s"));

    m_clock->AdvanceMs(1000);
    view.OnTransferStatusChanged();
    // 1,000,000 bytes over one second: 976KB/s, with 5,000,000 bytes left: 5 seconds.
    QCOMPARE(model.GetText(down, Column::kSpeed), QStringLiteral("976KB/s"));
    QCOMPARE(model.GetText(down, Column::kTimeLeft), QStringLiteral("  0:00:05"));
    QCOMPARE(LastSummary(summaries).transfers, 2);
    // Upload: 1,536,000 bytes over two seconds; download 1,000,000 over one.
    QCOMPARE(LastSummary(summaries).speed, qint64(768000 + 1000000));
}

void StatusViewTest::textsChangeOnlyWithTheRecord() {
    CStatusView view(*m_aggregator);
    Transfer transfer;
    m_aggregator->SetRequest(transfer.Key(), "GET /a");
    Deliver();
    QCOMPARE(view.GetModel().GetText(0, Column::kRequest), QStringLiteral("GET /a"));
    QCOMPARE(view.GetModel().GetImageIndex(0), 0); // no direction yet

    m_aggregator->SetRequest(transfer.Key(), "GET /b");
    m_aggregator->SetPosition(transfer.Key(), kDirectionUpload, 10);
    Deliver();
    QCOMPARE(view.GetModel().GetText(0, Column::kRequest), QStringLiteral("GET /b"));
    QCOMPARE(view.GetModel().GetImageIndex(0), 2);
}

void StatusViewTest::transferBegunBetweenAnnouncementAndSnapshotShowsItsTexts() {
    CStatusView view(*m_aggregator);
    Transfer transfer;
    m_aggregator->SetRequest(transfer.Key(), "GET /late");
    m_aggregator->SetRemoteAddress(transfer.Key(), "127.0.0.9");
    // A refresh ran its announcement step just before this transfer began, and took its snapshot just
    // after: the snapshot carried the changed flag, but there was no row for it yet.
    m_aggregator->TakeSnapshot();
    view.OnTransferStatusChanged();
    QCOMPARE(view.GetRowCount(), 1);
    QCOMPARE(view.GetModel().GetText(0, Column::kRequest), QStringLiteral("GET /late"));
    QCOMPARE(view.GetModel().GetText(0, Column::kClientAddress), QStringLiteral("127.0.0.9"));
}

void StatusViewTest::summaryWithoutTransfersIsZero() {
    CStatusView view(*m_aggregator);
    QSignalSpy summaries(&view, &CStatusView::transferSummary);
    view.OnTransferStatusChanged();
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(LastSummary(summaries).transfers, 0);
    QCOMPARE(LastSummary(summaries).speed, qint64(0));
}

void StatusViewTest::removedTransferLosesItsRow() {
    CStatusView view(*m_aggregator);
    QSignalSpy summaries(&view, &CStatusView::transferSummary);
    Transfer first;
    Transfer second;
    Transfer third;
    m_aggregator->SetRequest(first.Key(), "first");
    m_aggregator->SetRequest(second.Key(), "second");
    m_aggregator->SetRequest(third.Key(), "third");
    Deliver();
    QCOMPARE(view.GetRowCount(), 3);

    m_aggregator->Unregister(second.Key());
    Deliver();
    QCOMPARE(view.GetRowCount(), 2);
    QStringList requests;
    for (int row = 0; row < 2; ++row) {
        requests << view.GetModel().GetText(row, Column::kRequest);
        QVERIFY(view.GetTransferId(row) != 0);
    }
    requests.sort();
    QCOMPARE(requests, QStringList({"first", "third"}));

    // A transfer that came and went between two refreshes never gets a row.
    Transfer brief;
    m_aggregator->SetRequest(brief.Key(), "brief");
    m_aggregator->Unregister(brief.Key());
    m_aggregator->Unregister(first.Key());
    m_aggregator->Unregister(third.Key());
    Deliver();
    view.OnTransferStatusChanged();
    QCOMPARE(view.GetRowCount(), 0);
    QCOMPARE(LastSummary(summaries).transfers, 0);
    QCOMPARE(LastSummary(summaries).speed, qint64(0));

    // An id without a row changes nothing.
    view.OnTransferRemoved(12345);
    QCOMPARE(view.GetRowCount(), 0);
}

void StatusViewTest::modelNeverChangesUnderTheAggregatorsLock() {
    CStatusView view(*m_aggregator);
    GuiTransferStatusAggregator& aggregator = *m_aggregator;
    int checks = 0;
    // Another thread must be able to take the aggregator's lock whenever the model changes; if this
    // thread held it, the join would never return.
    auto probe = [&] {
        std::thread([&aggregator] { aggregator.GetTransferCount(); }).join();
        ++checks;
    };
    TransferListModel& model = view.GetModel();
    connect(&model, &QAbstractItemModel::rowsInserted, this, probe);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, probe);
    connect(&model, &QAbstractItemModel::dataChanged, this, probe);

    Transfer a;
    Transfer b;
    aggregator.SetRequest(a.Key(), "a");
    aggregator.SetRequest(b.Key(), "b");
    Deliver();
    aggregator.Unregister(a.Key());
    Deliver();
    QVERIFY(checks >= 4); // two insertions, a refresh, a removal, a refresh
    disconnect(&model, nullptr, this, nullptr);
}

void StatusViewTest::selectionQueries() {
    CStatusView view(*m_aggregator);
    Transfer transfers[3];
    const char* addresses[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3"};
    for (int i = 0; i < 3; ++i) {
        m_aggregator->SetRemoteAddress(transfers[i].Key(), addresses[i]);
    }
    Deliver();
    QCOMPARE(view.GetRowCount(), 3);
    QVERIFY(view.GetSelectedRows().empty());

    QItemSelectionModel* selection = view.selectionModel();
    selection->select(view.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(view.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(view.GetSelectedRows(), (std::vector<int>{0, 2}));

    for (int row = 0; row < 3; ++row) {
        const int id = view.GetTransferId(row);
        QVERIFY(id != 0);
        QCOMPARE(view.model()->index(row, 0).data(kTransferIdRole).toInt(), id);
        QVERIFY(m_aggregator->KeyOfTransferId(id) != nullptr);
        const std::u16string address = view.GetClientAddressText(row);
        int which = -1;
        for (int i = 0; i < 3; ++i) {
            if (m_aggregator->KeyOfTransferId(id) == transfers[i].Key()) {
                which = i;
            }
        }
        QVERIFY(which >= 0);
        QCOMPARE(QString::fromStdU16String(address), QString::fromLatin1(addresses[which]));
    }
    QCOMPARE(view.GetTransferId(3), 0);
    QVERIFY(view.GetClientAddressText(-1).empty());
}

void StatusViewTest::destroyedViewIsNoLongerNotified() {
    Transfer transfer;
    {
        CStatusView view(*m_aggregator);
        m_aggregator->SetRequest(transfer.Key(), "queued, never delivered");
    }
    Transfer later;
    m_aggregator->SetRequest(later.Key(), "after the view");
    Deliver(); // nothing may reach the destroyed view (ASan would see it)
    QCOMPARE(m_aggregator->GetTransferCount(), size_t(2));
}

QTEST_MAIN(StatusViewTest)
#include "StatusViewTest.moc"
