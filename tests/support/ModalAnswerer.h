#pragma once

#include <QStringList>

#include <functional>

// Answers the modal questions a test provokes, as a user would. Arm it before the call
// that opens the box:
//     ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Ok);
//     ModalAnswerer::answerNext(ORBGUI::OrbMessageBox::Cancel, [] { /* while the box is open */ });
// Each modal box takes the next armed answer (first armed, first used): the callback runs
// while the box is open, then the button whose OrbMessageBox::kButtonProperty equals the
// value is clicked (0 closes the box instead). A box that opens with nothing armed is
// closed after kUnexpectedBoxTimeoutMs and reported by problems().
class ModalAnswerer
{
public:
    static constexpr int kUnexpectedBoxTimeoutMs = 10000;

    static void answerNext(int nButton, std::function<void()> whileOpen = {});

    // Texts of the boxes answered so far, in order.
    static QStringList questions();
    // Boxes that opened with nothing armed or lacked the armed button, and answers armed but
    // never used; empty when all went well.
    static QStringList problems();

    // Forgets armed answers, recorded questions and failures.
    static void reset();

private:
    ModalAnswerer() = delete;
};
