// KrReadXml against Qt's stream reader on the XML files Debian packages install on this machine.
#include "Streams/KrStringStream.h"
#include "Xml/KrXmlDom.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QXmlStreamReader>

#include <functional>

namespace {
/// White space runs as one blank, trimmed: the two readers differ in attribute and line-end
/// normalisation, which the non-validating reader leaves to its caller.
std::string Squeeze(const std::string& s) {
    std::string out;
    bool blank = false;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

/// One line per element in document order: name, attributes, its own text.
using TElements = std::vector<std::string>;

bool ReadWithQt(const QByteArray& bytes, TElements& out) {
    QXmlStreamReader r(bytes);
    std::vector<std::size_t> open;
    std::vector<std::string> texts;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement: {
            std::string line = r.qualifiedName().toString().toStdString();
            for (const QXmlStreamAttribute& a : r.attributes())
                line += " " + a.qualifiedName().toString().toStdString() + "=" +
                        Squeeze(a.value().toString().toStdString());
            open.push_back(out.size());
            out.push_back(line);
            texts.emplace_back();
            break;
        }
        case QXmlStreamReader::Characters:
            if (!texts.empty()) texts.back() += r.text().toString().toStdString();
            break;
        case QXmlStreamReader::EndElement:
            out[open.back()] += " |" + Squeeze(texts.back());
            open.pop_back();
            texts.pop_back();
            break;
        default:
            break;
        }
    }
    return !r.hasError();
}

void Flatten(const TKrXmlTagItem& tag, TElements& out) {
    std::string line = tag.m_name;
    for (const auto& a : tag.m_attributes) {
        // Qt reports namespace declarations apart from the attributes.
        if (a.name == "xmlns" || a.name.compare(0, 6, "xmlns:") == 0) continue;
        line += " " + a.name + "=" + Squeeze(a.value);
    }
    const std::size_t at = out.size();
    out.push_back(line);
    for (std::size_t i = 0; i < tag.m_items.size(); ++i)
        if (const TKrXmlTagItem* child = tag.m_items.tag(i)) Flatten(*child, out);
    out[at] += " |" + Squeeze(tag.m_items.get_text());
}

/// Every file under the folders whose name ends in one of `suffixes`.
QStringList SystemFiles() {
    QStringList files;
    for (const char* dir : {"/usr/share/xml", "/usr/share/mime", "/usr/share/fontconfig", "/etc/fonts",
                            "/usr/share/dbus-1", "/usr/share/polkit-1"}) {
        QDirIterator it(QString::fromLatin1(dir), {"*.xml", "*.conf", "*.policy"}, QDir::Files,
                        QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
        while (it.hasNext())
            files << it.next();
    }
    return files;
}
} // namespace

TEST(XmlSystemFiles, ReadLikeQtsStreamReader) {
    int compared = 0;
    for (const QString& path : SystemFiles()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = f.readAll();
        // Declared entities and attribute defaults are applied by Qt, not by a non-validating reader.
        if (bytes.contains("<!ENTITY") || bytes.contains("<!ATTLIST")) continue;
        TElements qt, ours;
        const bool qtOk = ReadWithQt(bytes, qt);
        TKrStringStream s(bytes.toStdString());
        var_a<TKrXmlTagItem*> root = KrReadXmlEx(&s, TE_KrReadXmlFlags::rxKeepText, false, nullptr);
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(bool(root), qtOk);
        if (!root || !qtOk) continue;
        Flatten(*root, ours);
        EXPECT_EQ(ours.size(), qt.size());
        for (std::size_t i = 0; i < ours.size() && i < qt.size(); ++i)
            if (ours[i] != qt[i]) {
                ADD_FAILURE() << "element " << i << ":\n  ours " << ours[i] << "\n  qt   " << qt[i];
                break;
            }
        ++compared;
    }
    std::printf("compared %d files\n", compared);
}

TEST(XmlSystemFiles, RejectsWhatQtRejectsForStructure) {
    for (const char* bad : {"<a><b></a></b>", "<a>", "<a/><b/>", "text<a/>", "<a b=c/>", "<a b='1' b='2'/>x",
                            "<a><!-- x </a>", "<a>&</a>", "<a>& b;</a>", "<a b='&#;'/>", "<a b='&#x1'/>",
                            "<a><![CDATA[x</a>", "</a>", "<a></A>", "<?xml version='1.0'?>"}) {
        TElements qt;
        EXPECT_FALSE(ReadWithQt(bad, qt)) << bad;
        TKrStringStream s(bad);
        EXPECT_FALSE(KrReadXml(&s, false, nullptr)) << bad;
    }
}
