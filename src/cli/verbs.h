#pragma once

#include "effects/effect_catalogue.h"
#include "shotlist/list_document.h"
#include "shotlist/shot_list.h"

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

enum ExitCode { Success = 0, ListsDiffer = 1, Failure = 2, Interrupted = 130 };

// Every option a verb may take; each verb names the ones it takes.
enum class Opt {
    Port,
    Comment,
    Force,
    Verify,
    Timeout,
    Pdf,
    Csv,
    Fsl,
    TimeColumn,
    DeviceColumn,
    CircuitColumn,
    EffectColumn,
    CircuitsFrom,
    WithoutCircuits
};

const QCommandLineOption& OptionFor(Opt option);
// "--port"
QString OptionName(Opt option);

// One verb as called: its file and the options it takes, nothing else.
class VerbCall {
public:
    VerbCall(const QCommandLineParser& parser, QList<Opt> taken, QString file)
        : m_parser(parser)
        , m_taken(std::move(taken))
        , m_file(std::move(file))
    {
    }
    bool isSet(Opt option) const { return m_taken.contains(option) && m_parser.isSet(OptionFor(option)); }
    QString value(Opt option) const
    {
        return m_taken.contains(option) ? m_parser.value(OptionFor(option)) : QString();
    }
    const QString& file() const { return m_file; }

private:
    const QCommandLineParser& m_parser;
    QList<Opt> m_taken;
    QString m_file;
};

// The list of a file as "Datei laden" takes it, or nullopt after saying why not.
struct ListOfFile {
    ShotList list;
    ListMeta meta;
};
std::optional<ListOfFile> ReadListOrSay(const QString& path);
// What a list written by the verb carries: the --comment, or nullopt after saying why it cannot be stored.
std::optional<ListMeta> MetaWithCommentOrSay(const VerbCall& call);

// The user's catalogue, where the window keeps it, for stock: nullopt when there is none, or after
// saying why it cannot be read.
std::optional<EffectCatalogue> UserCatalogueOrSay();
// What a check adds about the material of a list with effects: nothing for one without.
void SayMaterialCheck(const ListOfFile& file);

int Check(const VerbCall& call);
int Material(const VerbCall& call);
int Print(const VerbCall& call);
int ExportCsv(const VerbCall& call);
int ImportCsv(const VerbCall& call);
int Send(const VerbCall& call);
int Receive(const VerbCall& call);
int Verify(const VerbCall& call);
int Ports(const VerbCall& call);
