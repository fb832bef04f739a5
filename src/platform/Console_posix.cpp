#include "Console.h"

#include <QByteArray>

#include <cstdio>
#include <unistd.h>

namespace Console {

namespace {
FILE *fileOf(Stream stream)
{
    return stream == Stream::Output ? stdout : stderr;
}
} // namespace

void setUp()
{ }

bool isTerminal(Stream stream)
{
    return ::isatty(::fileno(fileOf(stream))) == 1;
}

void write(Stream stream, QStringView text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), fileOf(stream));
}

void flush()
{
    std::fflush(stdout);
    std::fflush(stderr);
}

} // namespace Console
