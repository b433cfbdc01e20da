// Every text the window shows: its caption bar, the captions of its labels
// and buttons, its tooltips and messages, and which words stand for which
// failure. Portable: the window shows them, the tests and the readme check
// read them from here. The captions are constants and inline functions, so
// that the benchmark's baseline window, which links no core, shows them too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/numbers.h"
#include "core/platform.h"

namespace qel::texts {

// The window's caption bar (with its leading blank).
inline constexpr wchar_t kWindowCaption[] = L" qel設定";
// The caption while the window, closed, waits for an ON or OFF to be
// carried out.
inline constexpr wchar_t kClosingAfterSwitch[] = L" qel設定: 切替の応答を待って終了";
// The title of every message box.
inline constexpr wchar_t kMessageTitle[] = L"qel";

// The captions of the labels and buttons.
inline constexpr wchar_t kAddressCaption[] = L"IP";  // beside the address field
inline constexpr wchar_t kSaveAndQuit[] = L"保存＆終了";
inline constexpr wchar_t kOn[] = L"ON";
inline constexpr wchar_t kOff[] = L"OFF";
// The name of outlet `outlet` (0-based) wherever the window shows one: its
// label "Sw1".."Sw4", and the messages about its mask field.
inline std::wstring OutletName(int outlet) { return L"Sw" + DecimalText(outlet + 1); }
// The name of command line `command` (0-based): its launch button "CMD1".."CMD3"
// and the messages about its field.
inline std::wstring CommandName(int command) { return L"CMD" + DecimalText(command + 1); }
// What a screen reader calls outlet `outlet`'s ON or OFF button: "Sw1 ON",
// "Sw1 OFF"; the button itself shows kOn or kOff.
inline std::wstring SwitchButtonName(int outlet, bool on) { return OutletName(outlet) + L" " + (on ? kOn : kOff); }
// The state tip beside a focused ON or OFF button: the outlet's name before
// its label's tooltip, "Sw2: オフ (…)".
inline std::wstring FocusTipText(int outlet, const std::wstring& state) { return OutletName(outlet) + L": " + state; }

// An outlet's state in words, as its label's tooltip gives it.
std::wstring StateWord(bool on);
// Which switch the labels show: the one at the address saved in ip.ini.
// Nothing when that address could not be read. (No address saved: the
// labels' words say so instead, kNoSavedAddress.)
std::wstring SavedAddressNote(const std::optional<std::wstring>& address);
// The words every unknown state's tooltip begins with.
inline constexpr wchar_t kStatusUnknownWord[] = L"状態不明: ";
// Why the poll could not read the status word.
std::wstring StatusUnknown(ErrorKind kind);
// Why the poll asks no switch: ip.ini holds no address.
inline constexpr wchar_t kNoSavedAddress[] = L"状態不明: IP が保存されていない";
// Why the poll stopped at the mask of `outlet` (0-based): the rows from it on
// are unknown.
std::wstring MaskUnknown(ErrorKind kind, int outlet);

// While the switch is asked (core/poll_pace.h). Before its first answer
// every label is unknown, the reply awaited; `seconds` is how long a call
// has been pending, said from the first second on.
std::wstring AwaitingFirstAnswer(unsigned seconds);
// After a known state's words: a call pending for `seconds`.
std::wstring StillAwaited(unsigned seconds);
// Every label once a call has been pending for the limit or longer.
std::wstring NoAnswer(unsigned seconds);
// After a state's words: the next poll waits `seconds` more (the switch
// answered slowly).
std::wstring NextTryIn(unsigned seconds);

// Why ON or OFF could not switch: a mask field that does not convert, an
// address field that names no switch (kNoAddress: the library is not
// called), or the switch library failing; each begins with kCannotSwitch.
// A failure once the switch has begun to stage its word (setdata, cleandata,
// transfer: SwitchLibrary::stagingBegun) says that the outlet may have
// switched; one before says nothing of the kind.
inline constexpr wchar_t kCannotSwitch[] = L"切替できず";
std::wstring MaskCannotSwitch(ErrorKind kind);
// kLibraryNotFound says the system's reason when `loadFailure` has one, and
// a library that is not 32-bit in words of its own.
std::wstring CannotSwitch(ErrorKind kind, bool stagingBegun, const SystemError& loadFailure = {});
// `reason` followed by "(切り替わった可能性がある)".
std::wstring MayHaveSwitched(const std::wstring& reason);
// Why socket.dll did not load: "socket.dll を読み込めず", then the system's
// reason; a library that is not for 32-bit x86 (ERROR_BAD_EXE_FORMAT, 193)
// is said to be so.
std::wstring LibraryNotLoaded(const SystemError& loadFailure);
inline constexpr std::uint32_t kBadExeFormat = 193;
// A script's outlet whose mask ip.ini cannot give: no ip.ini at `iniPath`,
// no SW<outlet> key (outlets are 1 to 4), an empty one, or one that is no
// number; each begins with `cannot` (kCannotSwitch, or a status query's
// kStatusUnknownWord words).
std::wstring StoredMaskFailure(const wchar_t* cannot, ErrorKind kind, std::int32_t outlet, const std::wstring& iniPath);
// ON or OFF pressed while another switch is pending, or waits for its turn.
inline constexpr wchar_t kSwitchBusy[] = L"切替できず: 前の操作の応答待ち";
// ON or OFF that waited for its turn behind a call that did not answer
// within the limit: it is not carried out.
std::wstring CannotSwitchNoAnswer(unsigned seconds);

// A failure that qel's own handling does not expect (the system out of
// memory, an error in qel itself), stopped where the system called into the
// window: said in a message box, and for the poll in the labels' tooltips.
enum class Unexpected { kOutOfMemory, kOther };
std::wstring Stopped(Unexpected failure);
std::wstring StatusStopped(Unexpected failure);

// A launch button, or a script's CMD<n>, whose command line cannot be
// started: the command line's name ("CMD2"), the line, and the system's
// reason with its code; an empty line is said to be empty.
inline constexpr wchar_t kCannotLaunch[] = L"起動できず";
std::wstring CannotLaunch(const std::wstring& name, const std::wstring& commandLine, const SystemError& reason);
// The system's reason after the words it explains: ": text (code)"; nothing
// when the system gave no code.
std::wstring SystemReason(const SystemError& error);

// The failed steps of a command script are said in the window's words; these
// are for the steps the window has none of. Each begins with the word of
// what the step could not do (kCannotSwitch, kCannotLaunch, kCannotWait).
inline constexpr wchar_t kSettingsPathNotInCodePage[] = L"ip.ini の場所をこのシステムの文字コードで表せない";
// A step that needs ip.ini, which has no path the code page can hold.
std::wstring NoSettingsPath(const wchar_t* cannot);
// A number that does not convert: not a number, or outside 16 bits.
std::wstring NumberCannotSwitch(ErrorKind kind);
// An outlet number that the script's end left without a state.
inline constexpr wchar_t kNoState[] = L"切替できず: 状態の数値がない";
// The fourth and later numbers, which one script cannot use.
inline constexpr wchar_t kNumbersUnused[] = L"切替できず: 4 つ目からの数値は使われない";
// A wait longer than `longestSeconds`, or a number after W outside 16 bits.
inline constexpr wchar_t kCannotWait[] = L"待機できず";
std::wstring WaitTooLong(int longestSeconds);
// A number after CMD outside 16 bits.
inline constexpr wchar_t kCommandNumberOutOfRange[] = L"起動できず: CMD の番号が範囲外";

// A script's switch that the status read after it did not confirm: the
// state it still showed after `seconds` ("切替を確認できず: オフのまま
// (10 秒)"); a read that failed, or did not answer.
inline constexpr wchar_t kCannotConfirm[] = L"切替を確認できず";
std::wstring NotConfirmed(bool shownOn, unsigned seconds);
std::wstring CannotConfirm(ErrorKind kind, const SystemError& loadFailure = {});
std::wstring ConfirmNoAnswer(unsigned seconds);
// CONFIRM in ip.ini that is no whole number from 0 to `longest`, written
// as `value`: `seconds` are used instead.
std::wstring ConfirmRefused(const std::wstring& value, int longest, int seconds);

// A status query ("qel.exe ? 2"): why an outlet is reported unknown. Each
// begins with kUnknownState.
inline constexpr wchar_t kUnknownState[] = L"状態不明";
inline constexpr wchar_t kNoOutletNamed[] = L"状態不明: コンセントの番号がない";
std::wstring NumberUnknown(ErrorKind kind);
// The status read failed (CannotSwitch's words after kUnknownState).
std::wstring StatusReadFailed(ErrorKind kind, const SystemError& loadFailure);

// The switch log could not be written: its path and the system's reason.
inline constexpr wchar_t kCannotLog[] = L"記録できず";
std::wstring CannotLog(const std::wstring& path, const SystemError& reason);

// Save and quit: the word every failed save begins with, and its reasons.
inline constexpr wchar_t kCannotSave[] = L"保存できず";
std::wstring SettingsPathNotInCodePage(const std::wstring& path);
// `character`: the first one the code page cannot hold.
std::wstring ValueNotInCodePage(const std::wstring& field, const std::wstring& character);
std::wstring ValueTooLong(const std::wstring& field, std::size_t limitBytes);
std::wstring ValueHasLineBreak(const std::wstring& field);
// A save of ip.ini that did not get through: the file's path on the second
// line, the reason on the third, what to do on the fourth.
std::wstring SaveFailed(const std::wstring& path, const std::wstring& reason);
// A line of its own after the reason: the save's copy could not be removed
// and is left beside ip.ini, at the path that follows these words.
inline constexpr wchar_t kCopyLeft[] = L"書きかけのコピーを消せず";
// What to do, the last lines of that message.
inline constexpr wchar_t kSaveAdvice[] =
    L"ip.ini は元のままです。\n"
    L"ip.ini が読み取り専用でないか、ほかのプログラムが開いていないか、\n"
    L"ディスクの空きを確かめて、もう一度押してください。";

}  // namespace qel::texts
