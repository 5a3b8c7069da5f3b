#pragma once
// The application's error display: the box an error that no handler caught ends up in (a
// port that cannot be opened, a profile that cannot be written, a failure inside a port's
// or the listener's delivery).
//
// Boxes are not modal: an error raised inside a port's dispatch must not run a nested event
// loop there (a Stop click would close that port from inside its own dispatch). And they
// are not stacked: while a box is open, the same message again is counted into it instead
// of opening another one. The text of each box that opens goes to standard error as well.
//
// Threads: the user-interface thread only.

#include <QObject>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

class QMessageBox;
class QWidget;

namespace quorvex::app {

// The text the error box shows: the message, with a "." appended when its last character
// sorts after "." (so "Select different ports!" and "... in use." stay as they are).
std::string ErrorBoxText(std::string message);

class ErrorDisplay : public QObject {
  public:
    // `caption`: the application title.
    explicit ErrorDisplay(QString caption);
    ~ErrorDisplay() override;

    // The window the boxes belong to (null: none, or the window is gone).
    void SetWindow(QWidget* window) { window_ = window; }

    void Show(const std::string& message);

    // The boxes now open, oldest first.
    std::vector<QMessageBox*> OpenBoxes() const;

  private:
    struct Box {
        QPointer<QMessageBox> widget;
        std::string text;
        int count = 1;
    };

    QPointer<QWidget> window_;
    QString caption_;
    std::vector<Box> boxes_;
};

}  // namespace quorvex::app
