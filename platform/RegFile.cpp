#include "platform/RegFile.h"

#include "kiv/KivText.h"

#include <QByteArray>
#include <QList>
#include <QStringDecoder>

#include <set>

namespace platform {

namespace {

// A text the quoted form cannot hold: control characters would break the line.
bool NeedsHexText(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

void AppendQuoted(QByteArray& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

// "hex:" bytes, wrapped as the registry editor wraps them: at most about 80
// characters a line, a backslash at the end of each line but the last, the
// next line indented by two spaces.
void AppendHex(QByteArray& out, const QByteArray& bytes, qsizetype lineStart) {
    static const char* const digits = "0123456789abcdef";
    qsizetype column = out.size() - lineStart;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column >= 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

// Reads a quoted text starting at `pos` (on the opening quote); leaves `pos`
// behind the closing quote. False when the quotes do not close.
bool ReadQuoted(const QByteArray& line, qsizetype& pos, QByteArray& text) {
    if (pos >= line.size() || line[pos] != '"') {
        return false;
    }
    ++pos;
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c == '"') {
            return true;
        }
        if (c == '\\') {
            if (pos >= line.size()) {
                return false;
            }
            text += line[pos++];
        } else {
            text += c;
        }
    }
    return false;
}

// "xx,xx,..." (possibly empty) into bytes.
bool ParseHexBytes(QByteArray text, QByteArray& bytes) {
    text = text.trimmed();
    if (text.isEmpty()) {
        return true;
    }
    for (const QByteArray& part : text.split(',')) {
        const QByteArray p = part.trimmed();
        if (p.size() != 2 || kiv::HexDigit(p[0]) < 0 || kiv::HexDigit(p[1]) < 0) {
            return false;
        }
        bytes += static_cast<char>(kiv::HexDigit(p[0]) * 16 + kiv::HexDigit(p[1]));
    }
    return true;
}

bool ValidUtf8(const QByteArray& bytes, std::string& text) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes); // decoding finds the errors
    Q_UNUSED(decoded);
    text = bytes.toStdString();
    return !decoder.hasError();
}

TBytes BytesOf(const QByteArray& bytes) {
    return TBytes(bytes.begin(), bytes.end());
}

// The data after "=": a quoted text, dword:, hex: or hex(n):.
bool ParseData(const QByteArray& data, TRegValue& value) {
    if (data.startsWith('"')) {
        qsizetype pos = 0;
        QByteArray raw;
        if (!ReadQuoted(data, pos, raw) || !data.mid(pos).trimmed().isEmpty()) {
            return false;
        }
        std::string text;
        if (!ValidUtf8(raw, text)) {
            return false;
        }
        value = TRegValue::OfText(text);
        return true;
    }
    if (data.startsWith("dword:")) {
        const QByteArray digits = data.mid(6).trimmed();
        if (digits.isEmpty() || digits.size() > 8) {
            return false;
        }
        std::uint32_t v = 0;
        for (char c : digits) {
            const int d = kiv::HexDigit(c);
            if (d < 0) {
                return false;
            }
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        value = TRegValue::OfDword(v);
        return true;
    }
    int type = RegBinary;
    qsizetype colon = -1;
    if (data.startsWith("hex:")) {
        colon = 3;
    } else if (data.startsWith("hex(")) {
        const qsizetype close = data.indexOf("):");
        if (close < 5 || close > 12) {
            return false;
        }
        bool ok = false;
        type = data.mid(4, close - 4).toInt(&ok, 16);
        if (!ok || type < 0) {
            return false;
        }
        colon = close + 1;
    } else {
        return false;
    }
    QByteArray bytes;
    if (!ParseHexBytes(data.mid(colon + 1), bytes)) {
        return false;
    }
    if (type == RegSz) {
        // A text that holds control characters: UTF-8 with a closing zero.
        if (!bytes.endsWith('\0')) {
            return false;
        }
        bytes.chop(1);
        std::string text;
        if (!ValidUtf8(bytes, text)) {
            return false;
        }
        value = TRegValue::OfText(text);
        return true;
    }
    if (type == RegDword) {
        if (bytes.size() != 4) {
            return false;
        }
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(bytes[i]);
        }
        value = TRegValue::OfDword(v);
        return true;
    }
    value = TRegValue::OfBinary(BytesOf(bytes), type);
    return true;
}

// A line as a problem report shows it: at most its first 80 bytes, control
// characters (the zero bytes of a binary file among them) as "\xNN", so the
// message stays one readable line.
std::string ShownLine(const QByteArray& line) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : line.left(80)) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += Digits[b >> 4];
            out += Digits[b & 0xF];
        } else {
            out += c;
        }
    }
    if (line.size() > 80) {
        out += "...";
    }
    return out;
}

} // namespace

const TRegValue* TRegKey::Find(const std::string& name) const {
    for (const auto& [n, v] : Values) {
        if (kiv::SameText(n, name)) {
            return &v;
        }
    }
    return nullptr;
}

void TRegKey::Set(const std::string& name, const TRegValue& value) {
    for (auto& [n, v] : Values) {
        if (kiv::SameText(n, name)) {
            v = value;
            return;
        }
    }
    Values.emplace_back(name, value);
}

const TRegKey* TRegTree::Find(const std::string& path) const {
    const auto it = Index.find(kiv::FoldCase(path));
    return it == Index.end() ? nullptr : &List[it->second];
}

TRegKey& TRegTree::Make(const std::string& path) {
    std::string key = kiv::FoldCase(path);
    const auto it = Index.find(key);
    if (it != Index.end()) {
        return List[it->second];
    }
    Index.emplace(std::move(key), List.size());
    List.push_back(TRegKey{path, {}});
    return List.back();
}

bool TRegTree::Exists(const std::string& path) const {
    if (Find(path)) {
        return true;
    }
    const std::string prefix = kiv::FoldCase(path) + '\\';
    for (const auto& [key, index] : Index) {
        if (key.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

TRegParseResult ParseRegText(std::string_view input) {
    const QByteArray text =
        QByteArray::fromRawData(input.data(), static_cast<qsizetype>(input.size()));
    TRegParseResult result;
    QList<QByteArray> lines = text.split('\n');
    TRegKey* key = nullptr;
    bool headerSeen = false;
    std::set<std::string> seen; // the keys read, folded
    bool skipping = false;      // in a key given a second time
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype number = i + 1;
        QByteArray line = lines[i];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (i == 0 && line.startsWith("\xEF\xBB\xBF")) {
            line.remove(0, 3);
        }
        // A line ending in a backslash goes on in the next one (long hex data).
        while (line.endsWith('\\') && line.contains("=hex") && i + 1 < lines.size()) {
            line.chop(1);
            QByteArray next = lines[++i];
            if (next.endsWith('\r')) {
                next.chop(1);
            }
            line += next.trimmed();
        }
        const QByteArray trimmed = line.trimmed();
        auto problem = [&] {
            result.Problems.push_back("line " + std::to_string(number) + ": " + ShownLine(trimmed));
        };
        if (trimmed.isEmpty() || trimmed.startsWith(';')) {
            continue;
        }
        if (!headerSeen) {
            headerSeen = true;
            if (trimmed == "REGEDIT4" || trimmed == "Windows Registry Editor Version 5.00") {
                continue;
            }
            problem(); // no header: go on and read what can be read
            if (!trimmed.startsWith('[')) {
                continue;
            }
        }
        if (trimmed.startsWith('[')) {
            std::string path;
            if (!trimmed.endsWith(']') || trimmed.startsWith("[-") || trimmed.size() < 3 ||
                !ValidUtf8(trimmed.mid(1, trimmed.size() - 2), path) ||
                !path.starts_with("HKEY_")) {
                problem();
                key = nullptr; // the values below belong to no key we know
                skipping = false;
                continue;
            }
            while (path.ends_with('\\')) {
                path.pop_back();
            }
            if (!seen.insert(kiv::FoldCase(path)).second) {
                // A key given twice: the first stays as it is, and the second's
                // values are not read over it.
                problem();
                key = nullptr;
                skipping = true;
                continue;
            }
            skipping = false;
            key = &result.Tree.Make(path);
            continue;
        }
        if (!key) {
            if (!skipping) {
                problem();
            }
            continue;
        }
        std::string name;
        qsizetype pos = 0;
        if (trimmed.startsWith('@')) {
            pos = 1;
        } else {
            QByteArray raw;
            if (!ReadQuoted(trimmed, pos, raw) || !ValidUtf8(raw, name)) {
                problem();
                continue;
            }
        }
        while (pos < trimmed.size() && (trimmed[pos] == ' ' || trimmed[pos] == '\t')) {
            ++pos;
        }
        if (pos >= trimmed.size() || trimmed[pos] != '=') {
            problem();
            continue;
        }
        TRegValue value;
        if (!ParseData(trimmed.mid(pos + 1).trimmed(), value)) {
            problem();
            continue;
        }
        key->Set(name, value);
    }
    return result;
}

std::string FormatRegText(const TRegTree& tree) {
    QByteArray out = "REGEDIT4\n";
    for (const TRegKey& key : tree.Keys()) {
        out += "\n[";
        out += QByteArray::fromStdString(key.Path);
        out += "]\n";
        for (const auto& [name, value] : key.Values) {
            const qsizetype lineStart = out.size();
            if (name.empty()) {
                out += '@';
            } else {
                AppendQuoted(out, name);
            }
            out += '=';
            if (value.Type == RegSz && !NeedsHexText(value.Text)) {
                AppendQuoted(out, value.Text);
            } else if (value.Type == RegSz) {
                out += "hex(1):";
                AppendHex(out, QByteArray::fromStdString(value.Text) + QByteArray(1, '\0'),
                          lineStart);
            } else if (value.Type == RegDword) {
                out += "dword:";
                out += QByteArray::number(value.DWord, 16).rightJustified(8, '0');
            } else {
                out += value.Type == RegBinary ? QByteArray("hex:")
                                               : "hex(" + QByteArray::number(value.Type, 16) + "):";
                AppendHex(out,
                          QByteArray(reinterpret_cast<const char*>(value.Bytes.data()),
                                     static_cast<qsizetype>(value.Bytes.size())),
                          lineStart);
            }
            out += '\n';
        }
    }
    return out.toStdString();
}

} // namespace platform
