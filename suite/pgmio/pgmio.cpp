#include "pgmio.h"

#include <QFile>
#include <QSaveFile>

#include <cctype>
#include <cstdio>

namespace {

constexpr const char* MAGIC = "KORVANE-SIF 1";
// Longest header line read; longer lines are not part of a programming file.
constexpr qint64 MAX_LINE = 256;

bool is_hex_group(const std::string& text, size_t from)
{
    for (size_t i = from; i < from + 8; ++i)
        if (i >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    return true;
}

// "WORD,CRC": two groups of 8 hexadecimal digits.
bool is_key(const std::string& text)
{
    return text.size() == 17 && text[8] == ',' && is_hex_group(text, 0) && is_hex_group(text, 9);
}

bool read_line(QFile& file, std::string* line)
{
    const QByteArray bytes = file.readLine(MAX_LINE);
    if (!bytes.endsWith('\n'))
        return false;
    *line = bytes.left(bytes.size() - 1).toStdString();
    return true;
}

}  // namespace

bool pgmio_export_zlm_data(const char* path, unsigned int* count, std::string* text)
{
    QFile file(QString::fromLocal8Bit(path ? path : ""));
    std::string line;
    if (!file.open(QIODevice::ReadOnly) || !read_line(file, &line) || line != MAGIC)
        return false;
    unsigned int records = 0;
    std::string keys;
    while (read_line(file, &line)) {
        if (line.compare(0, 4, "zlm ") == 0 && is_key(line.substr(4))) {
            keys += (records++ ? ";" : "") + line.substr(4);
            continue;
        }
        unsigned long long size = 0;
        char rest = 0;
        if (std::sscanf(line.c_str(), "payload %llu%c", &size, &rest) != 1)
            return false;
        if (file.size() - file.pos() != static_cast<qint64>(size))
            return false;
        *count = records;
        *text = keys;
        return true;
    }
    return false;
}

bool pgmio_write_sif(const char* path, const std::vector<PGMIO_ZLM_RECORD>& records, const std::string& payload,
                     std::string* error)
{
    QByteArray header = QByteArray(MAGIC) + '\n';
    for (const PGMIO_ZLM_RECORD& r : records)
        header += QByteArray("zlm ") + QByteArray::number(r.node_info, 16).rightJustified(8, '0').toUpper() + ',' +
                  QByteArray::number(r.crc, 16).rightJustified(8, '0').toUpper() + '\n';
    header += "payload " + QByteArray::number(static_cast<qulonglong>(payload.size())) + '\n';
    QSaveFile file(QString::fromLocal8Bit(path ? path : ""));
    const auto size = static_cast<qint64>(payload.size());
    if (file.open(QIODevice::WriteOnly) && file.write(header) == header.size() &&
        file.write(payload.data(), size) == size && file.commit())
        return true;
    if (error)
        *error = file.errorString().toStdString();
    return false;
}
