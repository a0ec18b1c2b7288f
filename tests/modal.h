#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Hands the next modal dialog or message box to `action` as soon as it is shown, so that a
// test can inspect and answer it while the code under test waits in its event loop. Gives up
// after about five seconds; the test then sees that nothing was answered.
inline void OnNextModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, action = std::move(action)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr && ++*tries < 1000) {
      return;
    }
    timer->stop();
    timer->deleteLater();
    if (modal != nullptr) {
      action(modal);
    }
  });
  timer->start();
}
