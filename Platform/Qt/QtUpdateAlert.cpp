#include "QtUpdateAlert.h"

#include <QMessageBox>

namespace ondrake {

SimulatedUpdater::AlertPresenter messageBoxAlertPresenter() {
    return [](const SimulatedUpdater::Alert &alert, std::function<void()> dismissed) {
        auto *box = new QMessageBox(QMessageBox::Information, alert.title, alert.message, QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, box, [dismissed = std::move(dismissed)](int) { dismissed(); });
        box->show();
        box->raise();
        box->activateWindow();
    };
}

}  // namespace ondrake
