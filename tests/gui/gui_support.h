// Shared pieces of the offscreen window tests: the application, and pop-up answers that act on
// the real dialogs as a person would (a click on a button, a key press).
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "gui/mnemonics.h"
#include "gui/qt_ui.h"
#include "platform/posix_platform.h"

namespace keelsong::testing {

// The machine's environment, but for XDG_DATA_HOME: the service history and the firmware
// backups of a test go to `data_home`, never the user's own folder.
inline PosixPlatform::Environment WithDataHome(const std::string& data_home) {
    PosixPlatform::Environment environment = PosixPlatform::ProcessEnvironment();
    environment["XDG_DATA_HOME"] = data_home;
    return environment;
}

// Made by the first test that needs it and ended after the last test, while Qt's own globals
// still exist (a static application would be torn down after some of them at exit).
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = nullptr;
    if (!app) {
        struct EndApplication final : ::testing::Environment {
            void TearDown() override {
                delete app;
                app = nullptr;
            }
        };
        app = new QApplication(argc, argv);
        ::testing::AddGlobalTestEnvironment(new EndApplication);
    }
    return *app;
}

// A base, so that the application exists before a fixture's widgets are made.
struct WithApplication {
    WithApplication() { App(); }
};

// What a modal dialog showed when it was answered.
struct SeenDialog {
    std::string title;
    std::string text;
    std::vector<std::string> buttons;  // left to right, as laid out
    std::string default_button;
};

inline SeenDialog Describe(QDialog& dialog) {
    SeenDialog seen;
    seen.title = dialog.windowTitle().toStdString();
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        seen.text = box->text().toStdString();
    }
    std::vector<QPushButton*> buttons;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isVisible()) {
            buttons.push_back(button);
        }
    }
    std::sort(buttons.begin(), buttons.end(), [&](QPushButton* a, QPushButton* b) {
        return a->mapTo(&dialog, QPoint()).x() < b->mapTo(&dialog, QPoint()).x();
    });
    for (QPushButton* button : buttons) {
        const std::string text = WithoutMnemonic(button->text()).toStdString();
        seen.buttons.push_back(text);
        if (button->isDefault()) {
            seen.default_button = text;
        }
    }
    return seen;
}

// Answers every dialog by clicking the button with this text, noting what each one showed.
// Without such a button the dialog is rejected, so a test never hangs.
inline QtUi::PopupDriver ClickButton(std::string text, std::vector<SeenDialog>* seen = nullptr) {
    return [text, seen](QDialog& dialog) {
        if (seen) {
            seen->push_back(Describe(dialog));
        }
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            if (WithoutMnemonic(button->text()).toStdString() == text) {
                button->click();
                return;
            }
        }
        dialog.reject();
    };
}

// Answers every dialog with a key press (Enter, Escape) sent to the dialog.
inline QtUi::PopupDriver PressKey(Qt::Key key, std::vector<SeenDialog>* seen = nullptr) {
    return [key, seen](QDialog& dialog) {
        if (seen) {
            seen->push_back(Describe(dialog));
        }
        QWidget* target = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        if (dialog.isVisible()) {
            dialog.reject();  // the key did nothing: do not hang
        }
    };
}

// Closes every dialog as its title bar's close button does: a close event, no button, no key.
inline QtUi::PopupDriver CloseDialog(std::vector<SeenDialog>* seen = nullptr) {
    return [seen](QDialog& dialog) {
        if (seen) {
            seen->push_back(Describe(dialog));
        }
        dialog.close();
    };
}

}  // namespace keelsong::testing
