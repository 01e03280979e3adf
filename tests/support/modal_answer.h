#pragma once

// Answers the modal message boxes a test provokes: each box that opens is
// recorded (its text) and closed with the next scripted button.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>

class ModalAnswers : public QObject
{
public:
    explicit ModalAnswers(std::deque<QMessageBox::StandardButton> answers = {})
        : m_answers(std::move(answers))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    QStringList texts;
    QStringList informative;
    QList<QMessageBox::StandardButton> defaults;
    // Called with each box as it opens, before it is answered.
    std::function<void(QMessageBox*)> onShown;

private:
    void poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Marked, not remembered by address: a later box can take the
        // address of one already answered.
        if (!box || box->property("answeredByTest").toBool())
            return;
        box->setProperty("answeredByTest", true);
        texts << box->text();
        informative << box->informativeText();
        defaults << box->standardButton(box->defaultButton());
        if (onShown)
            onShown(box);
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.pop_front();
        }
        if (QAbstractButton* b = box->button(answer))
            b->click();
        else
            box->reject();
    }
    std::deque<QMessageBox::StandardButton> m_answers;
    QTimer m_timer;
};
