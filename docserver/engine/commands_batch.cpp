// Batch printers of the system and the batch files the clients write.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>

#include "command_engine.h"
#include "engine_text.h"
#include "lock_holders.h"
#include "path_confine.h"
#include "transaction.h"

namespace docserver {
namespace {

// The issued name without its last three characters: the stem every
// sibling (page file, watermark copy) shares.
std::string Stem(const std::string& name) {
    return name.size() >= 3 ? name.substr(0, name.size() - 3) : "";
}

}  // namespace

// "TALQGetBatchDirs," user "," password "," domain
std::string CommandEngine::GetBatchDirs(const CommandText& command) {
    if (std::string refusal = LoginRefusal(command.Field(1), command.Field(2)); !refusal.empty())
        return refusal;
    Statement s(db_, "SELECT name, directory FROM batch_printers ORDER BY name");
    std::string reply;
    bool first = true;
    while (s.Row()) {
        if (!first) reply.push_back(kRecordSep);
        first = false;
        reply += s.Text(0) + "\t" + s.Text(1);
    }
    // No printer: one empty record, never a name the client would list.
    return reply.empty() ? std::string(1, kRecordSep) : reply;
}

std::string CommandEngine::ValidateBatchPrinter(const CommandText& command) {
    Statement s(db_, "SELECT 1 FROM batch_printers WHERE name = ?");
    s.Bind(1, command.Rest(1));
    return s.Row() ? "OK" : "ERROR: Invalid Batch Printer";
}

// "TALQGetNextBatch," printer: a new job; the client writes the page file
// and the watermark copy as siblings of the name it is given.
std::string CommandEngine::GetNextBatch(const ConnectionState& state, const CommandText& command) {
    if (state.user.empty()) return "ERROR: User Not Logged In";
    std::string printer, directory;
    {
        // Ended before the write transaction begins (system_db.h).
        Statement p(db_, "SELECT name, directory FROM batch_printers WHERE name = ?");
        p.Bind(1, command.Rest(1));
        if (!p.Row()) return "ERROR: Invalid Batch Printer";
        printer = p.Text(0);
        directory = p.Text(1);
    }
    std::string full;
    if (!ConfinePath(systemDir_, directory + "/x", full) || !LeadsWhereNamed(systemDir_, full))
        return "ERROR: Invalid Batch Directory";
    ::mkdir((systemDir_ + "/batch").c_str(), 0755);
    ::mkdir(full.substr(0, full.size() - 2).c_str(), 0755);
    // Numbering and recording the job is one write: two servers never
    // hand out the same number.
    Transaction transaction(db_);
    Statement next(db_, "SELECT COALESCE(MAX(job_id), 0) + 1 FROM batch_jobs");
    if (!next.Row()) return Failed("ERROR: Unable to Create Batch File", next.Error());
    std::string digits = std::to_string(next.Int(0));
    digits.insert(0, digits.size() < 6 ? 6 - digits.size() : 0, '0');
    std::string name = directory + "/JOB" + digits + ".BAT";
    // Its holder is named and judged as a page lock's: a job whose holder
    // is gone is abandoned when a process next opens the system.
    Statement add(db_,
                  "INSERT INTO batch_jobs (job_id, printer, file_name, user_id, state, created, "
                  "session, owner, seen, silence) VALUES (?, ?, ?, ?, 'open', ?, ?, ?, ?, ?)");
    if (!add.Bind(1, next.Int(0))
             .Bind(2, printer)
             .Bind(3, name)
             .Bind(4, state.user)
             .Bind(5, NowText())
             .Bind(6, state.session)
             .Bind(7, ProcessIdentity())
             .Bind(8, static_cast<std::int64_t>(std::time(nullptr)))
             .Bind(9, kSilentHolderSeconds)
             .Run() ||
        !transaction.Commit())
        return Failed("ERROR: Unable to Create Batch File", WhyFailed(add, transaction));
    return name;
}

// "TALQWriteFile" R name R colour R length R data: appended to the page
// file ("P__") or the watermark copy ("MRK") of an open job.
std::string CommandEngine::WriteFile(const ConnectionState& state, const CommandText& command) {
    const std::string& text = command.text;
    std::size_t pos = 14;  // past the verb and its separator
    std::string parts[3];
    for (std::string& part : parts) {
        std::size_t sep = text.find(kRecordSep, pos);
        if (sep == std::string::npos) return "ERROR: Invalid Write Request";
        part = text.substr(pos, sep - pos);
        pos = sep + 1;
    }
    std::int64_t length = 0;
    if (!ParseCount(parts[2], length) || static_cast<std::int64_t>(text.size() - pos) < length)
        return "ERROR: Invalid Write Request";
    const std::string& name = parts[0];
    std::string ending = name.size() >= 3 ? name.substr(name.size() - 3) : "";
    if (ending != "P__" && ending != "MRK") return "ERROR: Invalid Batch File";
    Statement job(db_,
                  "SELECT file_name, user_id FROM batch_jobs WHERE state = 'open' AND file_name "
                  "LIKE ? ESCAPE '\\'");
    std::string like;
    for (char c : Stem(name)) {
        if (c == '%' || c == '_' || c == '\\') like.push_back('\\');
        like.push_back(c);
    }
    job.Bind(1, like + "___");
    bool issued = false;
    // Only the user the job was issued to writes to it.
    while (job.Row())
        issued = issued || (Stem(job.Text(0)) == Stem(name) && SameText(job.Text(1), state.user));
    if (!issued) return "ERROR: Invalid Batch File";
    std::string full;
    if (!ConfinePath(systemDir_, name, full) || !LeadsWhereNamed(systemDir_, full))
        return "ERROR: Invalid Batch File";
    struct stat before {};
    const off_t size = ::stat(full.c_str(), &before) == 0 ? before.st_size : 0;
    errno = 0;
    std::ofstream out(full, std::ios::binary | std::ios::app);
    out.write(text.data() + pos, static_cast<std::streamsize>(length));
    // A full disk shows when the buffer is written out; a piece that did
    // not fit whole is taken back, so the job never holds half a piece.
    out.close();
    if (!out) {
        const int writeError = errno;
        int undone = ::truncate(full.c_str(), size);
        (void)undone;
        return Failed("ERROR: Write Failed", writeError != 0 ? ErrnoReason(writeError) : "");
    }
    return "OK";
}

// "TALQCloseOutBatchFile," name "," colour "," pages: the page file becomes
// the finished job ("JOB") next to it, for the printer to take.
std::string CommandEngine::CloseOutBatchFile(const ConnectionState& state,
                                             const CommandText& command) {
    if (command.Count() < 4) return "ERROR: Invalid Batch File";
    std::string name = command.Middle(1, 2);
    Statement job(db_,
                  "SELECT job_id, file_name FROM batch_jobs WHERE state = 'open' AND user_id = ?");
    job.Bind(1, state.user);
    std::int64_t id = 0;
    while (job.Row())
        if (Stem(job.Text(1)) == Stem(name) && name.size() >= 3) id = job.Int(0);
    if (id == 0) return "ERROR: Invalid Batch File";
    std::string pageFile, finished;
    if (!ConfinePath(systemDir_, Stem(name) + "P__", pageFile) ||
        !ConfinePath(systemDir_, Stem(name) + "JOB", finished) ||
        !LeadsWhereNamed(systemDir_, pageFile) || !LeadsWhereNamed(systemDir_, finished)) {
        return "ERROR: Invalid Batch File";
    }
    if (::rename(pageFile.c_str(), finished.c_str()) != 0)
        return Failed("ERROR: Unable to Close Batch File", ErrnoReason(errno));
    Statement done(db_, "UPDATE batch_jobs SET state = 'closed' WHERE job_id = ?");
    if (!done.Bind(1, id).Run()) return Failed("ERROR: Unable to Close Batch File", done.Error());
    return "OK";
}

// "TALQUpdtPrintLog," local pages "," batch pages: the pages a range put
// out, logged for the session's user and project.
std::string CommandEngine::UpdatePrintLog(const ConnectionState& state,
                                          const CommandText& command) {
    if (state.user.empty()) return "ERROR: User Not Logged In";
    std::int64_t local = 0, batch = 0;
    if (!ParseCount(command.Field(1), local) || !ParseCount(command.Field(2), batch))
        return "ERROR: Invalid Print Log";
    Statement add(db_,
                  "INSERT INTO print_log (user_id, project, local_pages, batch_pages, printed) "
                  "VALUES (?, ?, ?, ?, ?)");
    if (!add.Bind(1, state.user)
             .Bind(2, state.projectName)
             .Bind(3, local)
             .Bind(4, batch)
             .Bind(5, NowText())
             .Run())
        return Failed("ERROR: Unable to Update Print Log", add.Error());
    return "OK";
}

}  // namespace docserver
