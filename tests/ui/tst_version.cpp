// The version the window shows is the project's, as CMake has it: 1.0.8 shows as
// 1.08 in the caption and the first line of the version text.
#include "UiTestSupport.h"

#include <QTemporaryDir>

using namespace UiTest;

class VersionTest : public QObject
{
    Q_OBJECT

private slots:
    void windowShowsTheProjectVersion();
};

void VersionTest::windowShowsTheProjectVersion()
{
    const QStringList parts = QStringLiteral(QUORVEL_PROJECT_VERSION).split(u'.');
    QCOMPARE(parts.size(), 3);
    const QString shortVersion = parts[0] + u'.' + parts[1] + parts[2];

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeServices services;
    Window w(services, dir.path());
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Quorvel  Ver") + shortVersion);
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QCOMPARE(w.Text3->text().section(QStringLiteral("\r\n"), 0, 0),
             QStringLiteral("Quorvel ver") + shortVersion);
}

QTEST_MAIN(VersionTest)
#include "tst_version.moc"
