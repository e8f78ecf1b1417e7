#include "ModalAnswerer.h"

#include <orbgui/OrbMessageBox.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QQueue>
#include <QTimer>
#include <QWidget>

namespace {

struct Answer
{
    int nButton = 0;
    std::function<void()> whileOpen;
};

struct State
{
    QQueue<Answer> queueAnswers;
    QStringList listQuestions;
    QStringList listUnexpected;
    // Boxes whose answer is under way (a callback may spin the event loop or open more boxes).
    QList<QPointer<QWidget>> listAnswering;
    // The box open with nothing armed, and for how long.
    QPointer<QWidget> pUnanswered;
    QElapsedTimer unansweredSince;
    QPointer<QTimer> pPoller;
};

State& state()
{
    static State s_state;
    return s_state;
}

QString questionOf(QWidget* pBox)
{
    if (const auto* pMessageBox = qobject_cast<ORBGUI::OrbMessageBox*>(pBox)) {
        return pMessageBox->text();
    }
    QStringList listTexts;
    for (const QLabel* pLabel : pBox->findChildren<QLabel*>()) {
        if (!pLabel->text().isEmpty()) {
            listTexts.append(pLabel->text());
        }
    }
    return listTexts.join(QLatin1Char('\n'));
}

void closeBox(QWidget* pBox)
{
    if (auto* pDialog = qobject_cast<QDialog*>(pBox)) {
        pDialog->reject();
    } else {
        pBox->close();
    }
}

void answer(const QPointer<QWidget>& pBox, const Answer& armed)
{
    State& s = state();
    s.listAnswering.removeAll(QPointer<QWidget>());
    if (!pBox) {
        // Gone before we got to it: the answer is still the next box's.
        s.queueAnswers.prepend(armed);
        return;
    }
    const QString strQuestion = questionOf(pBox);
    s.listQuestions.append(strQuestion);
    if (armed.whileOpen) {
        armed.whileOpen();
    }
    // The callback may have answered or closed the box itself.
    if (pBox && pBox->isVisible()) {
        QAbstractButton* pTarget = nullptr;
        for (QAbstractButton* pButton : pBox->findChildren<QAbstractButton*>()) {
            const QVariant value = pButton->property(ORBGUI::OrbMessageBox::kButtonProperty);
            pTarget = value.isValid() && value.toInt() == armed.nButton ? pButton : pTarget;
        }
        if (pTarget && armed.nButton != 0) {
            pTarget->click();
        } else {
            if (armed.nButton != 0) {
                s.listUnexpected.append(
                    QStringLiteral("no button 0x%1 in box: %2").arg(armed.nButton, 0, 16).arg(strQuestion));
            }
            closeBox(pBox);
        }
    }
    s.listAnswering.removeAll(pBox);
    s.listAnswering.removeAll(QPointer<QWidget>());
}

void poll()
{
    State& s = state();
    QWidget* pModal = QApplication::activeModalWidget();
    if (!pModal || !pModal->isVisible() || s.listAnswering.contains(pModal)) {
        return;
    }
    if (!s.queueAnswers.isEmpty()) {
        s.pUnanswered.clear();
        // Answered from a posted call, not from this timer: a timer does not fire again
        // while its own handler runs, and the callback may open a box that needs us.
        const QPointer<QWidget> pBox = pModal;
        const Answer armed = s.queueAnswers.dequeue();
        s.listAnswering.append(pBox);
        QMetaObject::invokeMethod(
            s.pPoller, [pBox, armed] { answer(pBox, armed); }, Qt::QueuedConnection);
    } else if (s.pUnanswered != pModal) {
        // Nothing armed: give the test a while (it may arm from elsewhere), then close the box
        // so that the test fails instead of hanging.
        s.pUnanswered = pModal;
        s.unansweredSince.start();
    } else if (s.unansweredSince.hasExpired(ModalAnswerer::kUnexpectedBoxTimeoutMs)) {
        s.listUnexpected.append(QStringLiteral("unanswered box: %1").arg(questionOf(pModal)));
        s.pUnanswered.clear();
        closeBox(pModal);
    }
}

// The watcher runs from application start, so even a box nobody expected is caught.
void startPoller()
{
    State& s = state();
    if (s.pPoller || !QCoreApplication::instance()) {
        return;
    }
    s.pPoller = new QTimer(QCoreApplication::instance());
    s.pPoller->setInterval(5);
    QObject::connect(s.pPoller, &QTimer::timeout, &poll);
    s.pPoller->start();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startPoller)

void ModalAnswerer::answerNext(int nButton, std::function<void()> whileOpen)
{
    startPoller();
    state().queueAnswers.enqueue(Answer{nButton, std::move(whileOpen)});
}

QStringList ModalAnswerer::questions()
{
    return state().listQuestions;
}

QStringList ModalAnswerer::problems()
{
    const int nUnused = state().queueAnswers.size();
    return state().listUnexpected +
           (nUnused > 0 ? QStringList{QStringLiteral("%1 answers unused").arg(nUnused)} : QStringList());
}

void ModalAnswerer::reset()
{
    startPoller();
    State& s = state();
    s.queueAnswers.clear();
    s.listQuestions.clear();
    s.listUnexpected.clear();
    s.pUnanswered.clear();
}
