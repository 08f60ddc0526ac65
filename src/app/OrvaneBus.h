#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>

class AppViewModel;
class TaggedFileQuery;

// The running window on the session bus: the command line's edits go through its file work
// and its undo, its queries are answered from its live index, and the file managers' actions
// open it at a file. Replies to edits and queries are sent when they are done.
class OrvaneBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orvane.Orvane")

public:
    static constexpr const char* kService = "org.orvane.Orvane";
    static constexpr const char* kPath = "/org/orvane/Orvane";
    static constexpr const char* kInterface = "org.orvane.Orvane";

    OrvaneBus(AppViewModel& model, TaggedFileQuery& index, QObject* parent = nullptr);
    // Takes the name on the session bus; false when there is no bus or another window has it.
    bool publish();
    // The types of the calls (paths as byte arrays), known to the bus in each process that
    // calls or answers.
    static void registerTypes();

signals:
    // A file was asked to be shown: the window comes to the front.
    void raiseRequested();
    // A file manager's "Tag with Orvane…": the tag dialog for these files.
    void tagDialogRequested(const QList<QByteArray>& files);

public slots:
    // The files get the tags (names or tree paths) or lose them; the reply, once the files are
    // done, is what went wrong (empty when nothing did).
    Q_SCRIPTABLE QString Tag(const QList<QByteArray>& files, const QStringList& tags);
    Q_SCRIPTABLE QString Untag(const QList<QByteArray>& files, const QStringList& tags);
    // The tag (a name or a tree path) renamed in the tree and on its files; the reply, once the
    // files are done, is what went wrong (empty when nothing did).
    Q_SCRIPTABLE QString Rename(const QString& tag, const QString& newName);
    // The files answering the query's words, as `orvane files` gives them.
    Q_SCRIPTABLE QList<QByteArray> Files(const QStringList& query);
    Q_SCRIPTABLE void Show(const QByteArray& file);
    Q_SCRIPTABLE void TagDialog(const QList<QByteArray>& files);

private:
    QString edit(const QList<QByteArray>& files, const QStringList& tags, bool tagging);

    AppViewModel& m_model;
    TaggedFileQuery& m_index;
};
