#pragma once
#include "common/Messages.h"
#include "support/Links.h"

#include <QColor>
#include <QLabel>

#include <functional>
#include <string>

namespace fb {

// A label that looks and acts like a web link: underlined, in the link
// colour, the visited colour once it has been followed, the highlight colour
// while the mouse is over it, a hand cursor and its url as tool tip.
class HyperLink : public QLabel {
    Q_OBJECT
public:
    explicit HyperLink(const QString& text = {}, QWidget* parent = nullptr);

    void setUrl(const std::string& url);
    const std::string& url() const { return url_; }
    void setUnderline(bool underline);
    void setVisited(bool visited);
    bool visited() const { return visited_; }
    void setAdjustToFit(bool adjust) { adjustToFit_ = adjust; }
    bool overControl() const { return overControl_; }

    // How the link opens its target and reports failures; by default the
    // desktop's opener with the browser fall-back, and the given message boxes.
    void setOpener(std::function<int(const std::string&)> gotoUrl) { gotoUrl_ = std::move(gotoUrl); }
    void setMessages(MessageBoxes* messages) { messages_ = messages; }

    QColor linkColour() const { return QColor(100, 10, 14); }
    QColor visitedColour() const { return QColor(200, 200, 200); }
    QColor hoverColour() const;
    QColor textColour() const;

    // Follows the link as a click does; the GotoUrl result.
    int follow();

signals:
    void followed(int result);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void attach();
    void fitToText();
    void updateColour();

    std::string url_;
    bool visited_ = false;
    bool overControl_ = false;
    bool underline_ = true;
    bool adjustToFit_ = true;
    std::function<int(const std::string&)> gotoUrl_;
    MessageBoxes* messages_ = nullptr;
};

} // namespace fb
