#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

#include "app/instance_lock.h"
#include "log/log_file.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quillon::app::InstanceLock lock;
    if (!lock.TryLock()) {
        QMessageBox box(QMessageBox::Warning, "Quillon Panel 7.0",
                        QString::fromUtf8(quillon::app::kSecondInstanceText), QMessageBox::Ok);
        if (qEnvironmentVariable("QUILLON_DIALOGS") != "stderr") box.exec();
        else fprintf(stderr, "%s\n", quillon::app::kSecondInstanceText);
        return 1;
    }
    QApplication::setApplicationName(QString::fromUtf8(quillon::app::kApplicationTitle));
    QMainWindow window;
    window.setWindowTitle("Quillon Panel Quillon Application 7.0 for x86");
    quillon::LogFile::Open();
    quillon::LogFile::Write(window.windowTitle().toStdString());
    window.show();
    return app.exec();
}
