#include "MessageBoxAlerts.hpp"

#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "GuiThread.hpp"
#include "HelperConstants.hpp"

namespace lumivo {

int MessageBoxAlerts::run(const AlertRequest& alert) {
    requireGuiThread("MessageBoxAlerts::run");
    QMessageBox box(alert.style == AlertRequest::Style::warning ? QMessageBox::Warning
                                                                : QMessageBox::Information,
                    QString::fromUtf8(HelperConstants::appName.data(),
                                      static_cast<qsizetype>(HelperConstants::appName.size())),
                    QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    // No main window to sit on: keep the alert above whatever the user works in.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    std::vector<QPushButton*> buttons;
    for (const auto& title : alert.buttons) {
        // One role for all keeps the requested order in every button layout.
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
    }
    // Without an escape button, QMessageBox ignores Escape and the close button.
    if (alert.escapeButton && *alert.escapeButton >= 0 &&
        static_cast<std::size_t>(*alert.escapeButton) < buttons.size()) {
        box.setEscapeButton(buttons[static_cast<std::size_t>(*alert.escapeButton)]);
    }
    box.exec();
    const auto* clicked = box.clickedButton();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i] == clicked) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace lumivo
