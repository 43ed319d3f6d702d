// The player's messages of the sound set-up and loading. The program holds
// them in Shift-JIS; they are compared here through the tested converter.
#pragma once

#include <string>

#include "platform/common/sjis.h"

namespace shindan::test {

inline std::string utf8(const std::string& sjis) {
  return sjis_to_utf8(sjis.data(), sjis.size());
}

inline constexpr char open_failed[] = "ファイルオープンに失敗しました";
inline constexpr char wave_not_found[] = "ウエイブファイルが見つかりません";
inline constexpr char format_unreadable[] = "ウエイブフォーマットを読み込めません";
inline constexpr char format_invalid[] = "不正なウエイブフォーマットです";
inline constexpr char no_data[] = "ウエイブファイルにデータがありません";
inline constexpr char data_unreadable[] = "ウエイブデータ読み込みに失敗しました";
inline constexpr char buffer_failed[] = "サウンドバッファの生成に失敗しました";
inline constexpr char device_failed[] = "DirectSoundが生成できませんDirectSoundの使用が不可能です";
inline constexpr char cooperation_failed[] = "DirectSoundの協調に失敗しました";
inline constexpr char error_caption[] = "エラー発生";

}  // namespace shindan::test
