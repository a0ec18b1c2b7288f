#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// Answers the next modal dialogs or message boxes, one action each and in order, as soon as
// each is shown, while the code under test waits in its event loop.
//
// It never leaves a dialog open: a dialog that is still shown after its action (an answer that
// did not take), or one that comes after the last action while the object lives, is rejected,
// so that the code under test returns, and the test fails saying so. When fewer dialogs appear
// than there are actions, the test fails when the object goes out of scope, naming how many
// came.
class ModalAnswers {
public:
  using Action = std::function<void(QWidget*)>;
  // How long to wait for each dialog. The code under test is blocked only while a dialog is
  // open, so waiting longer costs nothing when the dialogs come.
  static constexpr int kWaitMs = 20000;

  explicit ModalAnswers(std::vector<Action> actions) : state_(std::make_shared<State>()) {
    state_->actions = std::move(actions);
    state_->sinceLast.start();
    timer_ = new QTimer;
    timer_->setInterval(5);
    QObject::connect(timer_, &QTimer::timeout,
                     [state = state_, timer = timer_] { Poll(*state, timer); });
    timer_->start();
  }
  explicit ModalAnswers(Action action) : ModalAnswers(std::vector<Action>{std::move(action)}) {}

  ModalAnswers(const ModalAnswers&) = delete;
  ModalAnswers& operator=(const ModalAnswers&) = delete;

  ~ModalAnswers() {
    if (timer_ != nullptr) {
      timer_->stop();
      timer_->deleteLater();
    }
    if (state_->answered < state_->actions.size()) {
      const QByteArray message = QStringLiteral("%1 dialog(s) were to be answered, but %2 appeared")
                                     .arg(state_->actions.size())
                                     .arg(state_->answered)
                                     .toUtf8();
      QTest::qFail(message.constData(), __FILE__, __LINE__);
    }
  }

  std::size_t Answered() const { return state_->answered; }

private:
  struct State {
    std::vector<Action> actions;
    std::size_t answered = 0;
    QElapsedTimer sinceLast;
  };

  static void Poll(State& state, QTimer* timer) {
    if (state.answered < state.actions.size() && state.sinceLast.elapsed() > kWaitMs) {
      timer->stop();
      return;
    }
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      return;
    }
    if (state.answered == state.actions.size()) {
      const QByteArray message =
          ("a dialog came that the test did not expect: " + modal->windowTitle() + " " +
           modal->property("text").toString())
              .toUtf8();
      Close(modal);
      QTest::qFail(message.constData(), __FILE__, __LINE__);
      return;
    }
    const Action& action = state.actions[state.answered];
    ++state.answered;
    state.sinceLast.restart();
    action(modal);
    if (modal != nullptr && modal->isVisible()) {
      Close(modal);
      QTest::qFail("the dialog was still open after its answer; it was rejected", __FILE__,
                   __LINE__);
    }
  }

  static void Close(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }

  std::shared_ptr<State> state_;
  QTimer* timer_ = nullptr;
};

// Chooses `path` in a file dialog as a person does: types it into the file name field and
// accepts. (QFileDialog::selectFile leaves the field alone while it has the keyboard focus, so
// whether it took would depend on whether the dialog was already active.)
inline void ChooseInFileDialog(QWidget* modal, const QString& path) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  QVERIFY2(dialog != nullptr, "the dialog is not a file dialog");
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY2(name != nullptr, "the file dialog has no file name field");
  name->setText(path);
  static_cast<QDialog*>(dialog)->accept();
}
