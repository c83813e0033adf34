#include "host/qt/QtShell.h"

#include <QMessageBox>
#include <QWidget>

namespace veskar {

void QtShell::messageBox(const char* text, const char* caption)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption ? caption : ""), QString::fromUtf8(text ? text : ""),
                    QMessageBox::Ok, nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (window_ && window_->isVisible()) window_->activateWindow();
}

} // namespace veskar
