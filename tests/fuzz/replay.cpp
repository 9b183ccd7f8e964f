// Runs a fuzz harness over files, outside libFuzzer: the ordinary test build
// replays the seeds and every input that once broke a parser.
#include "fuzz.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

int main(int argc, char** argv)
{
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo arg(QString::fromLocal8Bit(argv[i]));
        const QFileInfoList files = arg.isDir() ? QDir(arg.filePath()).entryInfoList(QDir::Files, QDir::Name)
                                                : QFileInfoList{arg};
        for (const QFileInfo& f : files) {
            QFile file(f.filePath());
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f.filePath()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
