#include "support/Help.h"
#include "support/qt/HelpWindow.h"
#include "support/qt/HyperLink.h"
#include "testkit/RecordingMessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace fb;
using namespace fb::test;

TEST(HyperLinkLabel, LooksLikeALinkAndTurnsVisitedOnlyWhenOpened)
{
    QWidget window;
    HyperLink link(QStringLiteral("Go to Quillon Website"), &window);
    link.setUrl(kWebsiteUrl);
    RecordingMessageBoxes messages;
    link.setMessages(&messages);
    int answer = 31;
    std::vector<std::string> asked;
    link.setOpener([&](const std::string& url) {
        asked.push_back(url);
        return answer;
    });
    window.show();

    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link.toolTip().toStdString(), kWebsiteUrl);
    EXPECT_EQ(link.text(), "Go to Quillon Website");
    EXPECT_EQ(link.size(), link.sizeHint());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(100, 10, 14));

    QTest::mouseClick(&link, Qt::LeftButton); // the opener fails
    EXPECT_EQ(asked, (std::vector<std::string>{kWebsiteUrl}));
    EXPECT_FALSE(link.visited());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Unable to open hyperlink:\n\nThere is no application associated\nwith "
                                      "the given filename extension.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);

    answer = 42;
    QTest::keyClick(&link, Qt::Key_Space); // the keyboard follows it too
    EXPECT_TRUE(link.visited());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(200, 200, 200));
    EXPECT_EQ(messages.shown.size(), 1u);

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&link, &enter);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), link.hoverColour());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(200, 200, 200));

    // Tabbed to, it shows that it has the focus.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QImage unfocused = link.grab().toImage();
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    link.setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(link.hasFocus());
    EXPECT_NE(link.grab().toImage(), unfocused);

    // A link made from an address alone shows the address.
    HyperLink mail(QString(), &window);
    mail.setUrl("mailto:support@example.com");
    EXPECT_EQ(mail.text(), "mailto:support@example.com");
    link.setUnderline(false);
    EXPECT_FALSE(link.font().underline());
}

TEST(HelpGuide, OpensAtTheMainWindowTopicAndEveryLinkInsideFindsItsSection)
{
    HelpWindow* help = ShowHelp(kMainWindowHelpContext);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source().fragment(), "main-window");
    EXPECT_TRUE(help->browser()->toPlainText().contains("Folioband Batch User Guide"));
    EXPECT_EQ(ShowHelp(kAppendParametersHelpContext), help); // one window, raised again
    EXPECT_EQ(help->browser()->source().fragment(), "append-parameters");
    help->close();

    QFile guide(QStringLiteral(":/help/guide.html"));
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    QString html = QString::fromUtf8(guide.readAll());
    QRegularExpression href(QStringLiteral("href=\"#([^\"]+)\""));
    int links = 0;
    for (auto it = href.globalMatch(html); it.hasNext(); ++links) {
        QString anchor = it.next().captured(1);
        EXPECT_TRUE(html.contains("name=\"" + anchor + "\"")) << anchor.toStdString();
    }
    EXPECT_GT(links, 10);
    for (const char* topic : {"main-window", "append-parameters", "contents"})
        EXPECT_TRUE(html.contains(QString("name=\"%1\"").arg(topic)));
    EXPECT_EQ(helpTopicForContext(131174), "main-window");

    // Every picture the guide names is in the resource beside it, where its relative path points.
    QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
    int pictures = 0;
    for (auto it = img.globalMatch(html); it.hasNext(); ++pictures) {
        const QString name = it.next().captured(1);
        EXPECT_FALSE(QImage(QStringLiteral(":/help/") + name).isNull()) << name.toStdString();
    }
    EXPECT_EQ(pictures, 3);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
