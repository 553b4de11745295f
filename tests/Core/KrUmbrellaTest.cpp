// The umbrella header includes every public header, and compiles on its own.
#include "KrStd.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

TEST(KrStdUmbrella, IncludesEveryPublicHeader) {
    const QString root = QStringLiteral(KRSTD_TEST_SOURCE_DIR "/../include");
    QFile umbrella(root + QStringLiteral("/KrStd.h"));
    ASSERT_TRUE(umbrella.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(umbrella.readAll());
    QDirIterator it(root, {QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    int headers = 0;
    while (it.hasNext()) {
        const QString relative = QDir(root).relativeFilePath(it.next());
        if (relative == QStringLiteral("KrStd.h")) continue;
        ++headers;
        EXPECT_TRUE(text.contains(QStringLiteral("#include \"") + relative + QLatin1Char('"')))
            << relative.toStdString()
            << " is missing from include/KrStd.h (scripts/gen-umbrella.sh rewrites it)";
    }
    EXPECT_GT(headers, 10);
}
