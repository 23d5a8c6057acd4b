#include <QTest>
class tst_TemplateInstaller : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(tst_TemplateInstaller)
#include "tst_TemplateInstaller.moc"
