#include "PreviewContent.h"
#include "PreviewWindow.h"
#include "QuickLookController.h"
#include "QuickLookTestSupport.h"

#include "EventWait.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using lurkel::BytePath;
using lurkel::PreviewContent;
using lurkel::PreviewLoader;
using lurkel::QuickLookController;
using lurkel::test::freshFolder;
using lurkel::test::pngBytes;
using lurkel::test::writeFile;
using Kind = lurkel::PreviewContent::Kind;

namespace {

class PreviewContentTest : public ::testing::Test {
protected:
    void SetUp() override { folder = freshFolder("preview"); }

    // Shows the one item and waits until its content is on screen.
    const PreviewContent &show(const BytePath &path)
    {
        controller.setFileItemByPath(path);
        if (!controller.isPreviewPanelVisible()) controller.togglePreviewPanel();
        auto &window = controller.previewWindow();
        EXPECT_TRUE(lurkel::test::waitUntil([&] { return !window.isLoading(); }));
        return window.content();
    }

    BytePath folder;
    QuickLookController controller;
};

} // namespace

TEST_F(PreviewContentTest, PicturesAreScaledToFitAndNeverEnlarged)
{
    const BytePath wide = folder / "panorama.png";
    writeFile(wide, pngBytes(4000, 300));
    const PreviewContent &content = show(wide);
    ASSERT_EQ(content.kind, Kind::Image);
    EXPECT_EQ(content.imageSize, QSize(4000, 300));
    auto &window = controller.previewWindow();
    EXPECT_EQ(window.currentView(), window.imageView());
    const QRect shown = window.displayedImageRect();
    EXPECT_TRUE(window.imageView()->rect().contains(shown));
    EXPECT_NEAR(double(shown.width()) / shown.height(), 4000.0 / 300.0, 0.3);
    EXPECT_TRUE(window.detailText().contains(QStringLiteral("4000 \u00d7 300")));

    const BytePath small = folder / "dot.png";
    writeFile(small, pngBytes(40, 20, Qt::blue));
    ASSERT_EQ(show(small).kind, Kind::Image);
    EXPECT_EQ(window.displayedImageRect().size(), QSize(40, 20));
    // What is painted is the picture.
    const QImage painted = window.imageView()->grab().toImage();
    EXPECT_EQ(QColor(painted.pixel(window.displayedImageRect().center())), QColor(Qt::blue));

    // Named like a picture, but not one: described.
    const BytePath fake = folder / "broken.png";
    writeFile(fake, "\x89PNG\r\n\x1a\n but nothing after the signature");
    EXPECT_EQ(show(fake).kind, Kind::Info);
}

TEST_F(PreviewContentTest, TextShowsTheFirst64KiBOnly)
{
    const BytePath notes = folder / "notes.txt";
    writeFile(notes, "first line\nsecond line\n");
    const PreviewContent &shortText = show(notes);
    ASSERT_EQ(shortText.kind, Kind::Text);
    EXPECT_EQ(shortText.text, QStringLiteral("first line\nsecond line\n"));
    EXPECT_FALSE(shortText.textTruncated);

    const BytePath log = folder / "long.log";
    constexpr std::size_t kLimit = 64 * 1024;
    std::string body;
    while (body.size() < kLimit)
        body += "0123456789abcdef\n";
    body.resize(kLimit);
    writeFile(log, body + "TAIL-MARKER past the limit\n");
    const PreviewContent &longText = show(log);
    ASSERT_EQ(longText.kind, Kind::Text);
    EXPECT_EQ(std::size_t(longText.text.size()), kLimit);
    EXPECT_FALSE(longText.text.contains(QStringLiteral("TAIL-MARKER")));
    EXPECT_TRUE(longText.textTruncated);
    EXPECT_EQ(controller.previewWindow().textView()->toPlainText(), longText.text);
    EXPECT_EQ(controller.previewWindow().currentView(), controller.previewWindow().textView());
    EXPECT_TRUE(controller.previewWindow().detailText().contains(QStringLiteral("64 KB")));
}

TEST_F(PreviewContentTest, BinaryFilesAndSpecialEntriesAreDescribed)
{
    std::string blob;
    for (int i = 0; i < 3000; ++i)
        blob.push_back(static_cast<char>(i % 256));
    const BytePath binary = folder / "blob.bin";
    writeFile(binary, blob);
    const PreviewContent &info = show(binary);
    ASSERT_EQ(info.kind, Kind::Info);
    EXPECT_EQ(info.name, QStringLiteral("blob.bin"));
    EXPECT_EQ(info.sizeText, QStringLiteral("2.9 KB (3,000 bytes)"));
    EXPECT_FALSE(info.kindText.isEmpty());
    EXPECT_FALSE(info.modifiedText.isEmpty());
    EXPECT_FALSE(info.icon.isNull());
    EXPECT_TRUE(info.errorText.isEmpty());

    // A ".txt" name does not make NUL bytes text.
    const BytePath disguised = folder / "disguised.txt";
    writeFile(disguised, std::string("text\0more\0", 10));
    EXPECT_EQ(show(disguised).kind, Kind::Info);

    const BytePath sub = folder / "Sub";
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    const PreviewContent &dir = show(sub);
    ASSERT_EQ(dir.kind, Kind::Info);
    EXPECT_EQ(dir.sizeText, QStringLiteral("--"));

    // A pipe is never opened (that would wait for a writer).
    const BytePath pipe = folder / "pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(show(pipe).kind, Kind::Info);

    const PreviewContent &missing = show(folder / "gone.txt");
    ASSERT_EQ(missing.kind, Kind::Info);
    EXPECT_FALSE(missing.errorText.isEmpty());
}

TEST_F(PreviewContentTest, NamesThatAreNotUtf8StillPreview)
{
    const BytePath text = folder / "caf\xe9.txt";
    writeFile(text, "bonjour\n");
    const PreviewContent &shown = show(text);
    ASSERT_EQ(shown.kind, Kind::Text);
    EXPECT_EQ(shown.text, QStringLiteral("bonjour\n"));
    EXPECT_EQ(shown.name, QStringLiteral("caf\uFFFD.txt"));

    const BytePath picture = folder / "bild\xff\xfe.png";
    writeFile(picture, pngBytes(64, 48));
    const PreviewContent &image = show(picture);
    ASSERT_EQ(image.kind, Kind::Image);
    EXPECT_EQ(image.imageSize, QSize(64, 48));
}

TEST(PreviewLoader, TextDecodingAtTheCut)
{
    // A UTF-8 character cut by the limit is left out, not shown as a replacement.
    const QByteArray cut = QByteArray(10, 'a') + QByteArray("\xc3", 1);
    EXPECT_EQ(PreviewLoader::decodeText(cut), QString(10, QLatin1Char('a')));
    EXPECT_EQ(PreviewLoader::decodeText(QByteArray("caf\xc3\xa9")), QStringLiteral("caf\u00e9"));
    // Not UTF-8 at all: read as Latin-1.
    EXPECT_EQ(PreviewLoader::decodeText(QByteArray("caf\xe9 cr\xe8me")), QStringLiteral("caf\u00e9 cr\u00e8me"));
    // UTF-16 with its byte-order mark (NUL bytes and all) is text.
    const QByteArray utf16("\xff\xfeh\0i\0", 6);
    EXPECT_EQ(PreviewLoader::decodeText(utf16), QStringLiteral("hi"));
}

TEST(PreviewLoader, FactsReadOnlyTheHead)
{
    const BytePath folder = freshFolder("facts");
    const BytePath file = folder / "big.txt";
    writeFile(file, std::string(100, 'x'));
    const auto facts = PreviewLoader::readFacts(file, 30);
    EXPECT_TRUE(facts.isRegular);
    EXPECT_EQ(facts.size, 100);
    EXPECT_EQ(facts.head.size(), 30);
    EXPECT_TRUE(facts.truncated);

    const BytePath link = folder / "link.txt";
    ASSERT_EQ(::symlink("big.txt", link.c_str()), 0);
    const auto followed = PreviewLoader::readFacts(link, 200);
    EXPECT_TRUE(followed.isSymlink);
    EXPECT_TRUE(followed.isRegular);
    EXPECT_FALSE(followed.truncated);
    EXPECT_EQ(followed.head.size(), 100);

    const BytePath dangling = folder / "dangling";
    ASSERT_EQ(::symlink("nowhere", dangling.c_str()), 0);
    const auto broken = PreviewLoader::readFacts(dangling);
    EXPECT_TRUE(broken.brokenLink);
    EXPECT_EQ(broken.error, 0);
}
