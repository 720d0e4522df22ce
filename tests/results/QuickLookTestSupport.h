#pragma once

#include "BytePath.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QImage>

#include <string>
#include <sys/stat.h>

namespace lurkel::test {

// A fresh folder for one test's files.
inline BytePath freshFolder(const char *name)
{
    static int counter = 0;
    const BytePath folder = TestEnvironment::root() / (std::string(name) + "-" + std::to_string(counter++));
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

// PNG bytes of a picture of one colour.
inline std::string pngBytes(int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

} // namespace lurkel::test
