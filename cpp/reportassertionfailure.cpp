#include "reportassertionfailure.h"

#include <QApplication>
#include <QAtomicInt>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QMessageLogger>
#include <QThread>

namespace {

// Switched from 0 to 1 by the first failure that shows the box; never reset,
// so a process shows the box at most once, even for failures that race.
QBasicAtomicInt assertionBoxShown = Q_BASIC_ATOMIC_INITIALIZER(0);

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread() && qobject_cast<const QApplication *>(app);
}

// Shows the box once, then keeps the caller here, with events still served,
// until the application quits.
void holdForDeveloper(const QString &file, int line, const QString &message)
{
    if (!onGuiThread() || QCoreApplication::closingDown())
        return; // no widgets off the GUI thread or while the application is torn down
    if (assertionBoxShown.testAndSetOrdered(0, 1)) {
        const QString text = file + QLatin1Char('(') + QString::number(line) + QStringLiteral("): \n") + message;
        QMessageBox::critical(nullptr, QCoreApplication::translate("Assertion", "Tavri Fatal Error"), text);
    }
    // Quitting the application ends every running event loop, this one too.
    // With no loop running (before start-up finished or after the main loop
    // has returned) nothing would ever end it, so the caller goes on.
    if (QThread::currentThread()->loopLevel() == 0)
        return;
    QEventLoop loop;
    loop.exec();
}

} // namespace

void reportAssertionFailure(const char *expression, const char *file, int line, const char *function, bool canContinue)
{
    const QString message = QStringLiteral("Assertion Failure - '") + QString::fromUtf8(expression) + QLatin1Char('\'');
    QMessageLogger logger(file, line, function);
    logger.critical("%s", qUtf8Printable(message));

    if (!qEnvironmentVariableIsEmpty("OSTREL_TAVRI_ASSERT"))
        holdForDeveloper(QString::fromUtf8(file), line, message);

    if (!canContinue)
        logger.fatal("Not continuable: %s", qUtf8Printable(message));
}
