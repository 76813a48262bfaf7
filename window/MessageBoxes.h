#pragma once

#include <QString>

#include <exception>

// Every box is application-modal, centred on the screen, titled with the application title,
// and returns only when dismissed.

// A message to the child: the text, no icon, one OK button.
void ShowMessage(const QString &text);

// An error that ended a handler: the message with its full stop, stop icon, one OK button.
void showErrorBox(const QString &message);

// An error that kept the window from being created at all: reported once before the program ends.
void showLastChanceBox(const std::exception &error);

// The title every box carries, from the running program file's name.
[[nodiscard]] QString currentApplicationTitle();
