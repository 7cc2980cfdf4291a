#pragma once
#include "bulk/BulkLoad.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;

namespace fb {

// "Scanning": the modeless window shown while a folder tree is walked. Stop
// hides it at once; the walk sees the request at its next check.
class ScanningWindow : public QDialog {
    Q_OBJECT
public:
    explicit ScanningWindow(QWidget* parent = nullptr);

    void showFolder(const std::string& folder);
    void showFilesAdded(int count);
    bool stopRequested() const { return stop_; }
    void requestStop();

protected:
    void reject() override; // Escape and the close box act like Stop

private:
    QLineEdit* folder_;
    QLabel* count_;
    bool stop_ = false;
};

// The walk's view of a ScanningWindow; destroying it closes the window.
class ScanningProgress : public ScanProgress {
public:
    explicit ScanningProgress(QWidget* owner);
    ~ScanningProgress() override;
    void showFolder(const std::string& folder) override;
    void showFilesAdded(int count) override;
    bool stopRequested() const override;
    void requestStop() override;
    ScanningWindow* window() const { return window_; }

private:
    QPointer<ScanningWindow> window_;
    bool stopped_ = false; // kept if the window is destroyed under the walk
};

} // namespace fb
