// Built only into the test copy of the program (corvanta_failing), never into the program itself: as soon
// as the event loop runs, the program fails with a write through a null pointer, so that a test can follow
// the crash reporter's whole way on the real program. The crash notice run is left alone.
#include <QCoreApplication>
#include <QTimer>

namespace {

int* volatile g_nowhere = nullptr;

void ArmFailure() {
    for (const QString& argument : QCoreApplication::arguments()) {
        if (argument.startsWith(QStringLiteral("--crash-notice="))) {
            return;
        }
    }
    QTimer::singleShot(0, [] { *g_nowhere = 1; });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(ArmFailure)
