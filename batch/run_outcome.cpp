#include "batch/run_outcome.h"

#include "batch/messages.h"

namespace {}  // namespace

std::u16string ProblemText(const Problem& problem) {
    if (const auto* error = std::get_if<platform::Error>(&problem)) {
        return error->text;
    }
    switch (std::get<WriteProblem>(problem)) {
        case WriteProblem::ChangedMeanwhile:
            return std::u16string(messages::kChangedMeanwhile);
        case WriteProblem::HardLinked:
            return std::u16string(messages::kHardLinked);
        case WriteProblem::OutOfResources:
            return std::u16string(messages::kOutOfResources);
        case WriteProblem::Unencodable:
            return std::u16string(messages::kUnencodable);
        case WriteProblem::GrewPastPrepared:
        case WriteProblem::EncodingOverturned:
        case WriteProblem::Stopped:
            break;  // settled inside the run; never the reason it stops
    }
    return {};
}

namespace {

// The box that reports a stopped run: how far it got, where it stopped, and why.
std::u16string FailureReport(const RunOutcome& outcome) {
    std::u16string text = std::u16string(messages::kStoppedBefore) + CountText(outcome.files_done) +
                          std::u16string(messages::kStoppedAfter) + u"\r\n" + platform::PathText(outcome.where) +
                          u"\r\n" + ProblemText(outcome.problem);
    const auto* error = std::get_if<platform::Error>(&outcome.problem);
    if (error && !error->kept_copy.empty()) {
        text += u"\r\n" + std::u16string(messages::kKeptCopy) + platform::PathText(error->kept_copy);
    }
    return text;
}

// The box of a run whose every file was rewritten, when the folder's new names may not be on disk yet.
std::u16string UnconfirmedReport(const RunOutcome& outcome) {
    return std::u16string(messages::kUnflushedBefore) + CountText(outcome.files_done) +
           std::u16string(messages::kUnflushedAfter) + u"\r\n" + platform::PathText(outcome.where) + u"\r\n" +
           ProblemText(outcome.problem);
}

// One line per refused file: its name as given, and why.
std::u16string ListRefusal(const RunOutcome& outcome) {
    static constexpr std::u16string_view kFlaws[] = {u"不存在 / missing", u"不是普通文件 / not a plain file",
                                                     u"不在目录中 / outside the folder", u""};
    std::u16string text = u"列出的文件无法使用，未做任何修改 / listed files cannot be used, nothing was changed:";
    for (const RefusedFile& file : outcome.refused) {
        text += u"\r\n" + platform::PathText(file.name) + u": ";
        text += file.flaw == RefusedFile::Flaw::LookUpFailed ? std::u16string_view(file.system_text)
                                                             : kFlaws[static_cast<int>(file.flaw)];
    }
    return text;
}

}  // namespace

std::u16string CountText(std::int64_t count) {
    const auto digits = std::to_string(count);
    return std::u16string(digits.begin(), digits.end());
}

RunOutcome FailedRun(std::int64_t files_done, platform::Path where, Problem problem) {
    RunOutcome failed;
    failed.kind = OutcomeKind::Failed;
    failed.files_done = files_done;
    failed.where = std::move(where);
    failed.problem = std::move(problem);
    return failed;
}

std::optional<std::u16string> OutcomeText(const RunOutcome& outcome) {
    switch (outcome.kind) {
        case OutcomeKind::Completed:
            return std::u16string(messages::kTaskDone);
        case OutcomeKind::Unconfirmed:
            return UnconfirmedReport(outcome);
        case OutcomeKind::Refused:
            return std::u16string(outcome.refusal == Refusal::NoPath ? messages::kSetPathFirst
                                                                     : messages::kPathMissing);
        case OutcomeKind::Failed:
            return FailureReport(outcome);
        case OutcomeKind::ListRefused:
            return ListRefusal(outcome);
        case OutcomeKind::NothingToDo:
        case OutcomeKind::Stopped:
            break;
    }
    return std::nullopt;
}
