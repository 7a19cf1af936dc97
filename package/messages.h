// The bilingual message catalogue: every text the program shows, row 0 German, row 1 English,
// held as UTF-8. Texts may carry the placeholders DATEI, NAME, COM X and a backslash-r, which
// the display expands on a copy just before showing them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace messages {

enum MessageId : int32_t {
  MSG_DURATION,
  MSG_PROGRAMMING,
  MSG_STORING,
  MSG_CONFIRM_OK,
  MSG_SUCCESS,
  MSG_WRONG_DOWNLOAD,
  MSG_DEVICE_NEWER,
  MSG_NO_DEVICE,
  MSG_NO_NAME_ABORT,
  MSG_TRANSMIT_RETRY,
  MSG_WRONG_DEVICE,
  MSG_INVALID_VERSION,
  MSG_SAME_VERSION,
  CAPTION_ERROR,
  CAPTION_INFO,
  MSG_TERMFILE_OPEN,
  MSG_TERM_PROGRAMMING,
  MSG_TERM_ABORT,
  MSG_TERM_TRANSMIT,
  MSG_TERM_PREPARING,
  MSG_TERM_SUCCESS,
  MSG_BOOTLOADER_ERROR,
  MSG_DONE_TITLE,
  MSG_BOOTLOADER_MISSING,
  MSG_SENSOR_RS232,
  MSG_FILE_NOT_OPENED,
  MSG_PORT_LOST,
  DEFAULT_DEVICE_NAME,
  // Ends of runs that would otherwise wait for ever, and paths not built yet.
  MSG_NO_GREETING,
  MSG_ENTRY_REFUSED,
  MSG_LINE_NOISE,
  MSG_PATH_NOT_AVAILABLE,
  // WinCE file transfer.
  MSG_WINCE_FILE_TOO_LARGE,
  MSG_WINCE_NO_ACK,
  MSG_WINCE_BLOCK_REFUSED,
  MSG_WINCE_CANCELLED,
  // Linux ports and package folders, and boot-loader failures that say what to try.
  // Placeholders %1 and %2 are filled in by the code that shows the text.
  MSG_PORT_NOT_PERMITTED,    // %1: the ports, "COM33 (/dev/ttyUSB0)"
  MSG_PORT_DEVICE,           // %1: "COM33", %2: the device file
  MSG_PACKAGE_FILE_MISSING,  // %1: the file's name, %2: the folders searched
  MSG_BSL_FAILED_STEP,       // %1: the step's name, %2: its code
  MSG_BSL_STEP_SYNC,
  MSG_BSL_STEP_VERSION,
  MSG_BSL_STEP_BAUD_RATE,
  MSG_BSL_STEP_PASSWORD,
  MSG_BSL_STEP_ERASE,
  MSG_BSL_STEP_WRITE,
  MSG_BSL_STEP_READ_BACK,
  MSG_BSL_STEP_START,
  MSG_BSL_STEP_PATCH,
  MSG_BSL_STEP_ADDRESS,
  MSG_BSL_STEP_ENTRY,
  MSG_BSL_STEP_ANSWER,
  MSG_BSL_STEP_OTHER,
  MSG_BSL_ADVICE_LINE,
  MSG_BSL_ADVICE_PASSWORD,
  MSG_BSL_ADVICE_MEMORY,
  // Basic-Loader terminal.
  MSG_TERMFILE_TOO_BIG,
  MSG_TERM_NO_ANSWER,
  // External loader programs and the M16 loader library.
  MSG_LOADER_MISSING,
  MSG_LOADER_NO_WINE,
  MSG_LOADER_NOT_STARTED,
  MSG_LOADER_TIMEOUT,
  MSG_LOADER_EXIT_CODE,
  MSG_LOADER_PORT_NUMBER,
  MSG_M16_ENTRY_MISSING,
  MSG_M16_FILE_NAME,
  MSG_M16_STAGE_FAILED,
  // Further files and the air-pressure upload: the instrument fell silent.
  MSG_TRANSFER_NO_ANSWER,
  // File names a package gives and the ports loader programs are told.
  MSG_PACKAGE_FILE_OUTSIDE,
  MSG_PACKAGE_FILE_OPTION,
  // Waits of the update run for the instrument.
  MSG_NO_BOOT_SWITCH_ANSWER,
  // MSP430 images: vectors the next update's password must contain.
  MSG_IMAGE_SETS_VECTORS,  // %1: the firmware file
  // Serial ports a run cannot use, found before the search.
  MSG_NO_SERIAL_PORT,     // %1: examples of port names
  MSG_NO_PORT_PERMITTED,  // followed by the permission hint
  MSG_PORT_BUSY,          // %1: the ports with their devices
  MSG_COM_PORT_ABSENT,    // %1: the port with its device, %2: its number in Update.ini
  // The window's choice of the package folder when it is started without one.
  CAPTION_CHOOSE_PACKAGE,
  MSG_CHOSEN_FOLDER_NO_PACKAGE,  // %1: the file's name, %2: the folders searched
  // Texts of each front-end in the run's language: buttons, captions, the console program's own
  // lines and labels, its port list, and the notes on Update.ini and ProgDevice.ini.
  BUTTON_OK,
  BUTTON_YES,
  BUTTON_NO,
  MSG_UNKNOWN_ERROR,
  MSG_PORT_NOT_OPENED,    // %1: "COM3"
  MSG_PORT_LINE_REFUSED,  // %1: "COM3", %2: the system's reason
  CLI_LABEL_DEVICE,       // the bracketed tag of the device fields
  CLI_LABEL_NAME,
  CLI_LABEL_SERIAL,
  CLI_LABEL_PCB,
  CLI_LABEL_VERSION,
  CLI_LABEL_TITLE,
  CLI_LABEL_ANSWER,
  CLI_COMPLETED,
  CLI_NOT_COMPLETED,  // %1: why
  CLI_STOPPED,        // %1: why
  CLI_TRYING_AGAIN,
  CLI_NO_END,  // %1: seconds
  CLI_PACKAGE_UNREADABLE,
  CLI_NOT_A_PORT,         // %1: what --port named
  CLI_TRACE_NOT_WRITTEN,  // %1: the file, %2: the system's reason
  LIST_NO_PORTS,
  LIST_USABLE,
  LIST_BUSY,
  LIST_NOT_PERMITTED,
  LIST_SERIAL_NUMBER,
  NOTE_LANGUAGE,          // %1: the value
  NOTE_BAUD_ENTRY,        // %1: the line, %2: the entry
  NOTE_BAUD_TOO_MANY,     // %1: the line, %2: how many are tried
  NOTE_BAUD_NONE,         // %1: the line
  NOTE_COM,               // %1: the line, %2: the value
  NOTE_CLIPPED,           // %1: "Update.ini, Zeile 3", %2: the key
  NOTE_CLIPPED_LENGTH,    // %1: the longest length
  NOTE_UNREAD_LINES,      // %1: the file, %2: how many lines are read
  NOTE_START_MODE,        // %1: "ProgDevice.ini, Zeile 3", %2: the value
  NOTE_SECTIONS_IGNORED,  // %1: how many, %2: how many are used
  NOTE_NO_INSTRUMENT,
  NOTE_FILE_LINE,          // %1: the file, %2: the line number
  MSG_SETTINGS_NOT_SAVED,  // %1: the file, %2: why
  MSG_SETTINGS_MISSING,
  MSG_NOT_A_FOLDER,        // %1: the folder
  MSG_FIRMWARE_LIST_FULL,  // %1: how many files, %2: the file left out
  MSG_DOWNLOAD_LIST_FULL,  // %1: the file left out
  // MSP430 images and erase plans that cannot be programmed.
  MSG_IMAGE_FILE_LEAD,   // %1: the firmware file
  MSG_IMAGE_FILE_NAMED,  // %1: the firmware file (a reason follows without a line)
  MSG_IMAGE_FILE_LINE,   // %1: the firmware file, %2: the line
  MSG_IMAGE_UNREADABLE,
  MSG_IMAGE_TOO_LARGE,  // %1: the limit in bytes
  MSG_IMAGE_NO_DATA,
  MSG_IMAGE_DATA_BEFORE_ADDRESS,
  MSG_IMAGE_BAD_CHARACTER,  // %1: the character
  MSG_IMAGE_BAD_BYTE,
  MSG_IMAGE_LINE_TOO_LONG,
  MSG_IMAGE_BAD_ADDRESS,
  MSG_IMAGE_ADDRESS_OUT_OF_RANGE,  // %1: the limit
  MSG_IMAGE_OUT_OF_ORDER,
  MSG_IMAGE_ODD_BLOCK,
  MSG_IMAGE_TOO_MANY_BLOCKS,  // %1: the table's size
  MSG_IMAGE_NO_START_ADDRESS,
  MSG_IMAGE_NO_VECTOR_TABLE,
  MSG_ERASE_BEYOND_FLASH,  // %1: the erase address, %2: the flash's top
  // A loader is started without a port to the instrument.
  MSG_LOADER_NO_PORT,  // %1: the loader
  // Gang programming and the run record.
  MSG_RECORD_NOT_WRITTEN,  // %1: the record file, %2: why
  GANG_HEADINGS,           // the table's column headings, separated by "|"
  GANG_STEP_SEARCH,
  GANG_STEP_IDENTIFIED,
  GANG_STEP_PROGRAMMING,
  GANG_STEP_ENDED,
  GANG_RESULT_PROGRAMMED,
  GANG_RESULT_CURRENT,
  GANG_RESULT_DECLINED,
  GANG_RESULT_FAILED,
  GANG_RESULT_NOT_FOUND,
  GANG_SUMMARY,       // %1: how many ended well, %2: how many ports
  GANG_LOGS,          // %1: the folder of the logs
  GANG_NO_PORT,       // no port to use
  GANG_LOG_NOT_OPEN,  // %1: the log file, %2: why
  GANG_NONE_FOUND,
  GANG_RECORD_FILE,       // %1: the record file
  MENU_OPEN_RECORD,       // the window's menu command
  MSG_NO_RECORD_YET,      // %1: the record file
  MSG_RECORD_NOT_OPENED,  // %1: the record file
  // The package check (update-cli --check) and the air-pressure table from the package.
  CHECK_OK,
  CHECK_WARNING,
  CHECK_ERROR,
  CHECK_HEADING,    // %1: the package folder
  CHECK_SUMMARY,    // %1: errors, %2: warnings
  CHECK_FILE_READ,  // %1: the file
  CHECK_ENTRIES,    // %1: how many
  CHECK_NO_ENTRIES,
  CHECK_ENTRY,                  // %1: the entry's number, %2: its device name
  CHECK_FILE_PRESENT,           // %1: the file, %2: its size
  CHECK_FILE_MISSING,           // %1: the file
  CHECK_NOT_LISTED,             // %1: the file
  CHECK_FURTHER_FILE,           // %1: the file, %2: its size
  CHECK_PATTERN_EMPTY,          // %1: the folder pattern
  CHECK_VERSION,                // %1: the file, %2: the version
  CHECK_NO_VERSION,             // %1: the file, %2: the pattern
  CHECK_LOADER_CLASSIC,         // %1: the file
  CHECK_LOADER_F5XX,            // %1: the file
  CHECK_BLOCKS,                 // %1: the file, %2: how many; the address ranges follow
  CHECK_ERASE,                  // %1: the file, %2: how many; the segments follow
  CHECK_MEMORY_OFFSET,          // %1: the file, %2: the block
  CHECK_VECTOR_SEGMENT,         // %1: the file, %2: the block
  CHECK_START,                  // %1: the file, %2: the address
  CHECK_SETS_VECTORS,           // %1: the file
  CHECK_TOO_LARGE,              // %1: the file, %2: the limit
  CHECK_LANGUAGE_FILE_MISSING,  // %1: the file
  CHECK_MANUAL_MISSING,         // %1: the file
  CHECK_PRESSURE_TABLE,         // %1: the file, %2: how many values
  CHECK_PRESSURE_BUILT_IN,
  MSG_PRESSURE_NO_SERIAL,     // %1: file and line
  MSG_PRESSURE_BAD_VALUE,     // %1: file and line, %2: the serial number
  MSG_PRESSURE_OUT_OF_RANGE,  // %1: file and line, %2: the serial number
  MSG_PRESSURE_REPEATED,      // %1: file and line, %2: the serial number
  MSG_PRESSURE_UNREADABLE,
  CHECK_NO_MAIN_FILE,
  CHECK_TERMINAL_FILE_MISSING,  // %1: the file
  kMessageCount
};

// The row of a language: 1 for English, 0 (German) for every other value, so a stray language
// value never indexes past the table.
inline int32_t LanguageRow(int32_t language) {
  return language == 1 ? 1 : 0;
}

// The text of a message in a language (see LanguageRow).
std::string_view Text(MessageId id, int32_t language);
// The text with its placeholders %1 and %2 replaced by first and second.
std::string Filled(MessageId id, int32_t language, std::string_view first,
                   std::string_view second = {});

// text as the console program shows it: every phrase of the catalogue (either language) that
// speaks of the window's File menu or its OK button is replaced by what the console program does
// instead. Texts the window shows as they are.
std::string ForConsole(std::string_view text);

// Texts that exist in one language only.
inline constexpr std::string_view kConfigFile1Missing =
    "Konfigurationsdatei 1 nicht vorhanden!!Programm wird beendet";
inline constexpr std::string_view kConfigFile2Missing =
    "Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet";
inline constexpr std::string_view kConfigFileCaption = "Error";
inline constexpr std::string_view kDebugModeNotice = "Debug-Mode";
inline constexpr std::string_view kIgnoreVersionNotice = "Software Vers. ignorieren";
inline constexpr std::string_view kInfoCaption = "Info";

// Texts of the menu commands and the port settings dialog, row 0 German, row 1 English (pick
// with In).
using TextPair = std::array<std::string_view, 2>;
inline std::string_view In(const TextPair& text, int32_t language) {
  return text[static_cast<size_t>(LanguageRow(language))];
}
inline constexpr TextPair kManualNotOpened = {"Programm konnte nicht gestartet werden!",
                                              "The manual could not be opened!"};
inline constexpr TextPair kManualMissing = {"Handbuch nicht gefunden: ", "Manual not found: "};
inline constexpr TextPair kManualNoViewer = {
    "Zum Anzeigen des Handbuchs wird ein PDF-Betrachter benötigt. Installieren Sie einen "
    "PDF-Betrachter und öffnen Sie dann erneut: ",
    "A PDF viewer is needed to show the manual. Install a PDF viewer, then open it again: "};
inline constexpr TextPair kLeftUnchanged = {"Das Gerät wurde nicht verändert.",
                                            "The instrument was left unchanged."};
inline constexpr TextPair kProgramVersion = {"Programmversion ", "Program version "};
inline constexpr TextPair kClockSetLog = {"Die Uhr des Geräts wird gestellt (Umschalt+F12).",
                                          "Setting the instrument's clock (Shift+F12)."};
inline constexpr TextPair kLanguageFileNotWritten = {
    "Die Sprachdatei konnte nicht geschrieben werden: ",
    "The language file could not be written: "};
inline constexpr TextPair kTimeoutNotNumber = {
    "Bitte geben Sie die Zeit in ganzen Millisekunden ein (0 bis 2147483647): ",
    "Please enter the time in whole milliseconds (0 to 2147483647): "};

}  // namespace messages
