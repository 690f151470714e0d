#pragma once
// TransferJob: the item loop of one copy or move, run on a worker thread between the user's
// answers. It creates the destination folder, carries each item's description before asking
// about its name, hands the item to ItemTransfer, keeps the new names and the failures, and writes
// the destination's description file at the end, also after Cancel or Skip All. Moves from another
// drive are settled (flushed, then their sources removed) within a second, before a question and at
// the end. Only one thread uses it at a time: the worker while it runs, the UI thread while it
// waits for an answer.

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "fileops/descriptionfile.h"
#include "fileops/fileopquestions.h"
#include "fileops/itemtransfer.h"

struct TransferRequest {
    enum class Kind { Copy, Move };
    Kind kind = Kind::Copy;
    QStringList names;         // plain names in the source folder, transferred in this order
    QString sourceFolder;      // both end with "/"
    QString destinationFolder;

    // A move whose source folder is its destination: nothing to do.
    bool movesOntoItself() const;
};

struct TransferResult {
    int code = 0;            // 1 for a move onto its own folder (nothing was done), else 0
    QStringList newNames;    // the plain names created whole in the destination, in order
    QStringList failures;    // one sentence per item that failed, naming it
    bool cancelled = false;  // Cancel or Skip All ended the run early
};

class TransferJob {
public:
    TransferJob(TransferRequest request, RunProgress& progress);

    enum class Stop { Question, Finished };
    // Goes on from where it stopped until a name collision needs the user or the run is over.
    Stop run();
    // The collision in question after run() stopped for one: the existing target and the item.
    const QString& questionTarget() const { return m_questionTarget; }
    const QString& questionSource() const { return m_questionSource; }
    void answer(const ReplaceAnswer& answer) { m_answer = answer; }

    const TransferResult& result() const { return m_result; }

private:
    // After an item: on with the next, stop for the user's answer, or end the run.
    enum class Next { Go, Ask, End };
    void prepare();
    void carryDescription(qsizetype index);
    Next transferItem(qsizetype index);
    Next duplicate(qsizetype index);
    // Takes the outcome of one item; `newName` is its name when it is new in the destination.
    Next record(ItemTransfer::Outcome outcome, const QString& newName);
    // Ends the moves from another drive that arrived: one flush, then their sources removed.
    void settle();
    void finish();

    TransferRequest m_request;
    RunProgress& m_progress;
    ItemTransfer m_item;
    DescriptionTransfer m_descriptions;
    std::vector<std::optional<ItemTransfer::Tree>> m_trees; // measured items
    std::vector<QString> m_measureErrors;
    bool m_prepared = false;
    qsizetype m_index = 0;
    qsizetype m_carried = 0; // items whose description was carried
    bool m_replaceAll = false;
    std::optional<ReplaceAnswer> m_answer;
    QString m_questionTarget;
    QString m_questionSource;
    TransferResult m_result;
};
