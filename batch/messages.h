#pragma once

#include <string_view>

// Every text the batch run shows the user.
namespace messages {

inline constexpr std::u16string_view kSetPathFirst = u"请先设定路径！";
inline constexpr std::u16string_view kPathMissing = u"该路径不存在！";
inline constexpr std::u16string_view kTaskDone = u"任务完成！";

// First line of the box that reports a run stopped by a failure; {N} is the count of files rewritten.
inline constexpr std::u16string_view kStoppedBefore = u"处理中断，已完成 ";
inline constexpr std::u16string_view kStoppedAfter = u" 个文件，其余文件未改动。";

// First line of the box that reports a run whose folder could not be flushed to disk; {N} as above.
inline constexpr std::u16string_view kUnflushedBefore = u"已完成 ";
inline constexpr std::u16string_view kUnflushedAfter = u" 个文件，但未能确认目录已写入磁盘。";

inline constexpr std::u16string_view kUnencodable = u"头部或尾部内容含有该文件编码无法表示的字符。";
inline constexpr std::u16string_view kChangedMeanwhile = u"该文件在处理期间被其他程序改动，已保持原样。";
inline constexpr std::u16string_view kHardLinked = u"该文件有多个硬链接，改写会把它们拆开，已保持原样。";
inline constexpr std::u16string_view kOutOfResources = u"系统内存或线程不足，该文件已保持原样。";
inline constexpr std::u16string_view kKeptCopy = u"新内容保存在：";

}  // namespace messages
