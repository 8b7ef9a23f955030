#include "files/folder_browser.h"
#include "files/fsl_file.h"
#include "files/list_file.h"
#include "files/settings_file.h"
#include "files/system_reason.h"
#include "fsl_fixtures.h"
#include "test_main.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString Signature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");

QStringList readAll(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    QStringList lines;
    while (std::optional<QString> line = reader.next())
        lines.append(*line);
    return lines;
}

template <typename Result>
Result readFrom(const QByteArray& bytes, Result (*read)(QIODevice&, const QString&))
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, Signature);
}

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestFslFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void linesEndAtCarriageReturnOnly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList { "a", "b" };
        QTest::newRow("bare LF is a character") << QByteArray("a\nb\r\n") << QStringList { "a\nb" };
        QTest::newRow("CR alone") << QByteArray("a\rb\r") << QStringList { "a", "b" };
        QTest::newRow("empty lines") << QByteArray("\r\n\r\r\n") << QStringList { "", "", "" };
        QTest::newRow("second LF starts a line") << QByteArray("x\r\n\ny\r\n") << QStringList { "x", "\ny" };
        QTest::newRow("last line without end") << QByteArray("a\r\nlast") << QStringList { "a", "last" };
        QTest::newRow("nothing") << QByteArray() << QStringList {};
        QTest::newRow("Windows-1252") << QByteArray("\xE4\x80\xFC\r\n") << QStringList { "ä€ü" };
        QTest::newRow("CR at the end of a read chunk")
            << QByteArray(4095, 'a') + "\r\nb" << QStringList { QString(4095, 'a'), "b" };
    }
    void linesEndAtCarriageReturnOnly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(readAll(bytes), lines);
    }

    void overlongLineFailsInsteadOfReadingOn()
    {
        QCOMPARE(readAll(QByteArray(MaxLineBytes, 'x') + "\r\nb"),
            (QStringList { QString(MaxLineBytes, 'x'), "b" }));
        QByteArray data = "a\r\n" + QByteArray(4 * MaxLineBytes, 'x');
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        LineReader reader(buffer);
        QCOMPARE(reader.next().value_or(QString()), QStringLiteral("a"));
        QVERIFY(!reader.next());
        QVERIFY(reader.failed());
        QVERIFY(buffer.pos() < 2 * MaxLineBytes);
    }

    void readersStopAtTheLinesTheyNeed()
    {
        const QByteArray tail(8 * 1024 * 1024, 'x');
        QByteArray valid = FslHead("c") + FslEntries() + tail;
        QBuffer buffer(&valid);
        buffer.open(QIODevice::ReadOnly);
        QVERIFY(ReadFslPreview(buffer, Signature));
        QVERIFY(buffer.pos() <= 8192);
        buffer.seek(0);
        QVERIFY(ReadShotListFile(buffer, Signature));
        QVERIFY(buffer.pos() <= 8192);

        QByteArray foreign = "no list\r\n" + tail;
        QBuffer other(&foreign);
        other.open(QIODevice::ReadOnly);
        QVERIFY(!ReadShotListFile(other, Signature));
        QVERIFY(other.pos() <= 4096);
    }

    void writesListByteExact_data()
    {
        QTest::addColumn<bool>("mixed");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("start-up list") << false << "Probe" << FslHead("Probe") + FslEntries({ "0000 FF" });
        QTest::newRow("mixed list, comment made one line")
            << true << QString::fromUtf8("Finale\r\nmit €\nund ✓ 😀\u2028Ende")
            << FslHead("Finale mit \x80 und ? ? Ende",
                   "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 3\r\nZeitdauer : 00:01:40\r\nnoch frei: "
                   "167\r\n")
                + FslEntries({ "0000 FF", "005A 23", "0064 00", "FFFF FF", "FFFF 25" });
    }
    void writesListByteExact()
    {
        QFETCH(bool, mixed);
        QFETCH(QString, comment);
        QFETCH(QByteArray, bytes);
        ShotList list = ShotList::startup();
        if (mixed) {
            list.times[1] = 90;
            list.circuits[1] = 35;
            list.times[2] = 100;
            list.circuits[2] = 0;
            // Raised above an empty slot: still empty in the file.
            list.times[4] = 65536;
            list.circuits[4] = 37;
        }
        QCOMPARE(ShotListFileBytes(Signature, comment, list), bytes);
    }

    // Kelto's additions follow line 176; the first 176 lines are those of the same list without them.
    void blockFollowsTheEntryLines()
    {
        ShotList list = ShotList::startup();
        list.times[1] = 90;
        list.circuits[1] = 35;
        const QByteArray plain = ShotListFileBytes(Signature, "Show", list);
        list.effects[0] = QStringLiteral("Kometen rot 50 mm");
        list.effects[169] = QStringLiteral("Vulkan = 30 s, €");
        KeltoBlock block;
        block.music = QStringLiteral("musik/finale.mp3");
        block.musicStartTenths = -30;
        block.otherKeys
            = { { QStringLiteral("Farbe 001"), QStringLiteral("rot") }, { QStringLiteral("X"), QString() } };
        const QByteArray bytes = ShotListFileBytes(Signature, "Show", list, block);
        QCOMPARE(bytes,
            plain
                + "[Kelto]\r\nMusik=musik/finale.mp3\r\nMusikbeginn=-3.0\r\nEffekt 001=Kometen rot 50 mm\r\n"
                  "Effekt 170=Vulkan = 30 s, \x80\r\nFarbe 001=rot\r\nX=\r\n");
        const std::optional<FslContent> content = readFrom(bytes, &ReadShotListFile);
        QVERIFY(content);
        QCOMPARE(content->list.effects[0], list.effects[0]);
        QCOMPARE(content->list.effects[169], list.effects[169]);
        QCOMPARE(content->block.music, block.music);
        QCOMPARE(content->block.musicStartTenths, -30);
        QCOMPARE(content->block.otherKeys, block.otherKeys);
        QVERIFY(content->skippedLines.isEmpty());
    }

    void unreadableBlockLinesAreSkipped_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QList<int>>("skipped");
        QTest::addColumn<QString>("effect5");
        QTest::addColumn<int>("startTenths");
        QTest::newRow("readable") << QByteArray("[Kelto]\r\n\r\nEffekt 005=Bombe\r\nMusikbeginn=+12.5\r\n")
                                  << QList<int> {} << "Bombe" << 125;
        QTest::newRow("not a block") << QByteArray("[kelto]\r\nEffekt 005=Bombe\r\n") << QList<int> {} << ""
                                     << 0;
        QTest::newRow("bad lines") << QByteArray(
            "[Kelto]\r\nEffekt 5=a\r\nEffekt 171=b\r\nohne Zeichen\r\n=leer\r\nEffekt 005="
            + QByteArray(61, 'x')
            + "\r\nMusikbeginn=-3,5\r\nEffekt 005=gut\r\nEffekt 005=zweimal\r\nMusikbeginn=99999\r\n")
                                   << QList<int> { 178, 179, 180, 181, 182, 183, 185, 186 } << "gut" << 0;
    }
    void unreadableBlockLinesAreSkipped()
    {
        QFETCH(QByteArray, block);
        QFETCH(QList<int>, skipped);
        QFETCH(QString, effect5);
        QFETCH(int, startTenths);
        const std::optional<FslContent> content = readFrom(
            FslHead("c") + FslEntries({ "0000 00", "0001 01", "0002 02", "0003 03", "0004 04" }) + block,
            &ReadShotListFile);
        QVERIFY(content);
        QCOMPARE(content->list.times[4], 4);
        QCOMPARE(content->skippedLines, skipped);
        QCOMPARE(content->list.effects[4], effect5);
        QCOMPARE(content->block.musicStartTenths, startTenths);
    }

    // The music is kept relative to the list's folder when it lies in it or below.
    void musicPathFollowsTheList()
    {
        QTemporaryDir dir;
        const QString listPath = dir.filePath(QStringLiteral("show.fsl"));
        ListMeta meta;
        meta.musicPath = dir.filePath(QStringLiteral("musik/finale.ogg"));
        QVERIFY(
            ListFileBytes(ShotList::startup(), meta, listPath).contains("\r\nMusik=musik/finale.ogg\r\n"));
        QString error;
        QVERIFY(WriteListFile(listPath, ShotList::startup(), meta, &error));
        QCOMPARE(ReadListFile(listPath).meta.musicPath, meta.musicPath);
        meta.musicPath = QStringLiteral("/srv/andere/finale.ogg");
        QVERIFY(ListFileBytes(ShotList::startup(), meta, listPath)
                    .contains("\r\nMusik=/srv/andere/finale.ogg\r\n"));
    }

    void loadReadsEntryLinesLoosely_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<qint32>("time");
        QTest::addColumn<qint16>("circuit");
        QTest::newRow("upper case") << QByteArray("005A 23") << 90 << qint16(35);
        QTest::newRow("lower case") << QByteArray("005a 2f") << 90 << qint16(47);
        QTest::newRow("minus for the blank") << QByteArray("005A-23") << 90 << qint16(35);
        QTest::newRow("only 7") << QByteArray("7") << 7 << qint16(0);
        QTest::newRow("empty line") << QByteArray() << 0 << qint16(0);
        QTest::newRow("empty slot") << QByteArray("FFFF FF") << 65535 << qint16(255);
        QTest::newRow("text after the fields") << QByteArray("0010 0Axyz") << 16 << qint16(10);
        QTest::newRow("no hex digit counts 0") << QByteArray("00G1 Z3") << 1 << qint16(3);
    }
    void loadReadsEntryLinesLoosely()
    {
        QFETCH(QByteArray, line);
        QFETCH(qint32, time);
        QFETCH(qint16, circuit);
        const QByteArray bytes = FslHead("Kommentar \xE4", "x\r\ny\r\nz\r\nw\r\n")
            + FslEntries({ "0001 02", line }) + "extra line\r\nmore\r\n";
        const std::optional<FslContent> content = readFrom(bytes, &ReadShotListFile);
        QVERIFY(content);
        QCOMPARE(content->comment, QStringLiteral("Kommentar ä"));
        QCOMPARE(content->list.times[0], 1);
        QCOMPARE(content->list.circuits[0], qint16(2));
        QCOMPARE(content->list.times[1], time);
        QCOMPARE(content->list.circuits[1], circuit);
        QCOMPARE(content->list.times[169], 65535);
    }

    void invalidFilesAreRejected_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("previewValid");
        const QByteArray rest = "c\r\n" + StartupStats + FslEntries();
        QTest::newRow("letter case") << "Feuerwerk-schussliste Pelorandistrake\r\n" + rest << false;
        QTest::newRow("trailing blank") << "Feuerwerk-Schussliste Pelorandistrake \r\n" + rest << false;
        QTest::newRow("LF line ends")
            << QByteArray(FslHead("c") + FslEntries()).replace("\r\n", "\n") << false;
        QTest::newRow("175 lines") << FslHead("c") + FslEntries({}, 169) << true;
        QTest::newRow("five lines") << FslHead("c", "1\r\n2\r\n3\r\n") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void invalidFilesAreRejected()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, previewValid);
        QVERIFY(!readFrom(bytes, &ReadShotListFile));
        QCOMPARE(bool(readFrom(bytes, &ReadFslPreview)), previewValid);
    }

    void previewShowsCommentAndStatistics()
    {
        const std::optional<FslPreview> preview = readFrom(FslHead("Silvester"), &ReadFslPreview);
        QVERIFY(preview);
        QCOMPARE(preview->comment, QStringLiteral("Silvester"));
        QCOMPARE(preview->statistics,
            QStringLiteral(
                "Anzahl Einträge: 170\r\nAnzahl Schüsse: 1\r\nZeitdauer : 00:00:00\r\nnoch frei: 169"));
        QVERIFY(!ReadFslPreview(QStringLiteral("does-not-exist.fsl"), Signature));
    }

    void proposesFirstFreeName_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("proposal");
        QTest::newRow("empty folder") << QStringList {} << "fw_000.fsl";
        QTest::newRow("gap") << QStringList { "fw_000.fsl", "fw_002.fsl" } << "fw_001.fsl";
        QTest::newRow("other names") << QStringList { "fw_0.fsl", "FW_001.txt", "show.fsl" } << "fw_000.fsl";
        QTest::newRow("a folder takes the name") << QStringList { "fw_000.fsl/" } << "fw_001.fsl";
        QStringList all;
        for (int n = 0; n < 1000; ++n)
            all.append(QStringLiteral("fw_%1.fsl").arg(n, 3, 10, QLatin1Char('0')));
        QTest::newRow("all taken") << all << "fw_999.fsl";
    }
    void proposesFirstFreeName()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, proposal);
        QTemporaryDir dir(QDir::currentPath() + "/XXXXXX");
        for (const QString& name : present) {
            if (name.endsWith('/'))
                QVERIFY(QDir(dir.path()).mkdir(name));
            else
                touch(dir.filePath(name));
        }
        QCOMPARE(ProposeFileName(dir.path() + "/"), proposal);
        // Without a folder yet: the working folder.
        QDir::setCurrent(dir.path());
        QCOMPARE(ProposeFileName(QString()), proposal);
        QDir::setCurrent(QFileInfo(dir.path()).path());
    }

    void namesMustStayInTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("name") << "show" << true;
        QTest::newRow("dots inside") << "...a.b" << true;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("backslash") << "..\\b" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("empty") << "" << false;
    }
    void namesMustStayInTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(IsPlainName(name), plain);
    }

    void settingsFileHoldsTwoLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("two lines") << QByteArray("/srv/Feuerwerk/listen/\r\nCOM2\r\n") << true;
        QTest::newRow("last line open") << QByteArray("/srv/Feuerwerk/listen/\r\nCOM2") << true;
        QTest::newRow("one line") << QByteArray("/srv/Feuerwerk/listen/\r\n") << false;
        QTest::newRow("LF line ends") << QByteArray("/srv/Feuerwerk/listen/\nCOM2\n") << false;
    }
    void settingsFileHoldsTwoLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(SettingsFileBytes({ "/srv/Feuerwerk/listen/", "COM2" }),
            QByteArray("/srv/Feuerwerk/listen/\r\nCOM2\r\n"));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const std::optional<RememberedSettings> settings = ReadSettingsFile(buffer);
        QCOMPARE(bool(settings), valid);
        if (valid) {
            QCOMPARE(settings->folder, QStringLiteral("/srv/Feuerwerk/listen/"));
            QCOMPARE(settings->port, QStringLiteral("COM2"));
        }
    }

    void folderBrowserPaths()
    {
        QCOMPARE(FolderWithSeparator("/srv/Feuerwerk"), QStringLiteral("/srv/Feuerwerk/"));
        QCOMPARE(FolderWithSeparator("/"), QStringLiteral("/"));
        QCOMPARE(FolderChain("/srv/Feuerwerk/listen"),
            (QStringList { "/", "/srv", "/srv/Feuerwerk", "/srv/Feuerwerk/listen" }));
        QCOMPARE(FolderChain("/"), QStringList { "/" });
        const QStringList roots { "/", "/media/kelto/STICK", "/media/kelto/STICK2" };
        QCOMPARE(DriveOf("/media/kelto/STICK/listen", roots), QStringLiteral("/media/kelto/STICK"));
        QCOMPARE(DriveOf("/media/kelto/STICK2", roots), QStringLiteral("/media/kelto/STICK2"));
        QCOMPARE(DriveOf("/media/kelto/STICK3", roots), QStringLiteral("/"));
        QVERIFY(IsUserVolume("/media/kelto/STICK", "vfat"));
        QVERIFY(IsUserVolume("/run/media/kelto/STICK", "exfat"));
        QVERIFY(!IsUserVolume("/run/user/1000", "tmpfs"));
        QVERIFY(!IsUserVolume("/boot/efi", "vfat"));
        QVERIFY(!IsUserVolume("/snap/core/1", "squashfs"));
        QCOMPARE(MountedDrives().first().root, QStringLiteral("/"));

        QTemporaryDir dir(QDir::currentPath() + "/XXXXXX");
        for (const char* name : { "fw_001.fsl", "A.FSL", "b.Fsl", "notes.txt", "fsl", ".hidden.fsl" })
            touch(dir.filePath(name));
        QVERIFY(QDir(dir.path()).mkdir("folder.fsl"));
        QVERIFY(QDir(dir.path()).mkdir("Zebra"));
        QVERIFY(QDir(dir.path()).mkdir("alpha"));
        QCOMPARE(ShotListFileNames(dir.path()), (QStringList { "A.FSL", "b.Fsl", "fw_001.fsl" }));
        QCOMPARE(Subfolders(dir.path()),
            (QStringList { dir.filePath("alpha"), dir.filePath("folder.fsl"), dir.filePath("Zebra") }));
        QCOMPARE(ExistingFolder(dir.filePath("gone/deeper")), dir.path());
    }

private Q_SLOTS:
    // A pipe named like a list (or a link to one) would block whoever opens it: it is no list.
    void onlyRegularFilesAreLists()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        QFile list(folder + "b.fsl");
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(FslHead("c") + FslEntries());
        list.close();
        QCOMPARE(mkfifo(QFile::encodeName(folder + "pipe.fsl").constData(), 0600), 0);
        QVERIFY(QFile::link(folder + "pipe.fsl", folder + "a.fsl"));
        QVERIFY(QFile::link(folder + "b.fsl", folder + "c.fsl"));

        QCOMPARE(ShotListFileNames(folder), QStringList({ "b.fsl", "c.fsl" }));
        const QString signature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");
        QVERIFY(!ReadFslPreview(folder + "a.fsl", signature));
        QVERIFY(!ReadShotListFile(folder + "pipe.fsl", signature));
        QVERIFY(ReadFslPreview(folder + "c.fsl", signature));
        // Nor is it a folder; a link to a folder is one.
        QVERIFY(QDir(folder).mkdir("listen"));
        QVERIFY(QFile::link(folder + "listen", folder + "verweis"));
        QCOMPARE(Subfolders(folder), QStringList({ folder + "listen", folder + "verweis" }));
    }

    void systemReasonsInGerman_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("german");
        QTest::newRow("read-only") << QString::fromLocal8Bit(std::strerror(EROFS))
                                   << "Das Dateisystem ist schreibgeschützt.";
        QTest::newRow("too long") << QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))
                                  << "Der Name ist zu lang.";
        QTest::newRow("permission") << QString::fromLocal8Bit(std::strerror(EACCES)) << "Keine Berechtigung.";
        QTest::newRow("disk full") << QString::fromLocal8Bit(std::strerror(ENOSPC))
                                   << "Auf dem Datenträger ist kein Platz mehr frei.";
        QTest::newRow("file size limit") << QString::fromLocal8Bit(std::strerror(EFBIG))
                                         << "Die Datei ist zu groß: Das System oder das Dateisystem erlaubt "
                                            "keine so große Datei.";
        QTest::newRow("file size limit, Qt's English") << "File too large"
                                                       << "Die Datei ist zu groß: Das System oder das "
                                                          "Dateisystem erlaubt keine so große Datei.";
        // Qt writes these four in English whatever the locale.
        QTest::newRow("permission, Qt's English") << "Permission denied"
                                                  << "Keine Berechtigung.";
        QTest::newRow("no device address, not no device") << "No such device or address"
                                                          << "Das Gerät ist nicht erreichbar.";
        QTest::newRow("no device") << "No such device"
                                   << "Das Gerät gibt es nicht.";
        QTest::newRow("QSaveFile onto a folder") << "Filename refers to a directory"
                                                 << "Dort steht ein Ordner.";
        QTest::newRow("unknown kept") << "Etwas anderes"
                                      << "Etwas anderes";
    }
    void systemReasonsInGerman()
    {
        QFETCH(QString, system);
        QFETCH(QString, german);
        QCOMPARE(GermanReason(system), german);
    }

    // Failed writes say why in German.
    void failedSaveSaysWhyInGerman_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name too long") << QString(300, QLatin1Char('x')) + ".fsl"
                                       << "Der Name ist zu lang.";
        QTest::newRow("folder is a file") << "datei/liste.fsl"
                                          << "Ein Teil des Pfades ist kein Ordner.";
    }
    void failedSaveSaysWhyInGerman()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QFile blocker(dir.filePath("datei"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(!SaveBytes(dir.filePath(name), "x", &error));
        QCOMPARE(error, reason);
        QString folderError;
        QVERIFY(!CreateFolder(dir.filePath(name), &folderError));
        QVERIFY2(folderError.contains(reason), qPrintable(folderError));
    }
};

KELTO_TEST_MAIN(TestFslFile)
#include "tst_fsl_file.moc"
