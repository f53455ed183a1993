#include "app/undo_texts.h"

std::u16string UndoQuestion(std::size_t files) {
    return u"将去掉上次添加到 " + CountText(static_cast<std::int64_t>(files)) +
           u" 个文件中的头部和尾部内容。是否继续？";
}

std::optional<std::u16string> UndoOutcomeText(const RunOutcome& outcome) {
    if (outcome.kind != OutcomeKind::Completed) {
        return OutcomeText(outcome);
    }
    std::u16string text = u"撤销完成！";
    if (outcome.files_left > 0) {
        text += u"其中 " + CountText(outcome.files_left) + u" 个文件在上次添加后已改动，未处理。";
    }
    return text;
}
