#include "package/messages.h"

#include <array>

namespace messages {
namespace {

using Row = std::array<std::string_view, 2>;

// In the order of MessageId.
constexpr std::array<Row, kMessageCount> kCatalogue = {{
    // MSG_DURATION
    {"Der Download kann bis zu X Minuten dauern!\r\n\r\n",
     "The download may last up to X minutes !\r\n\r\n"},
    // MSG_PROGRAMMING
    {"NAME wird programmiert !!\r\n\r\n", "Programming NAME !!\r\n\r\n"},
    // MSG_STORING
    {"Neue Daten werden gespeichert !!\r\nBitte warten ...\r\n",
     "Store new data !!\r\nPlease wait ...\r\n"},
    // MSG_CONFIRM_OK
    {"Bestätigen Sie dies danach mit dem Ok-Button!\r\n", "Confirm with the Ok-button!\r\n"},
    // MSG_SUCCESS
    {"--------------------\r\nDownload erfolgreich ausgeführt !\r\n\r\nTrennen Sie das NAME von "
     "der Schnittstelle COM X.\r\n\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.",
     "--------------------\r\nDownload successfully completed !\r\n\r\nDisconnect the NAME from "
     "the COM X port.\r\n\r\nExit the Windows program under File/Exit."},
    // MSG_WRONG_DOWNLOAD
    {"Der Download ist für ein NAME !\r\nSie haben ein falsches Gerät angeschlossen oder "
     "verwenden ein falsches Downloadprogramm.",
     "Download is for an NAME !\r\nWrong device connected or wrong download program used."},
    // MSG_DEVICE_NEWER
    {"Die Software-VersionX in Ihrem Gerät ist aktueller als die, die das Downloadprogramm "
     "anbietet.",
     "The software versionX in your device is more up to date then the download program can "
     "provide."},
    // MSG_NO_DEVICE
    {"Kein Gerät gefunden !!\r\nIst das Gerät auch richtig angeschlossen und eingeschalten "
     "?\rAutomatische Suche wiederholen mit Ok",
     "No device found !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic "
     "search with Ok"},
    // MSG_NO_NAME_ABORT
    {"Kein NAME gefunden !!\r\nProgramm wird abgebrochen !!",
     "No NAME found !!\r\nProgram is aborted !!"},
    // MSG_TRANSMIT_RETRY
    {"Übertragungsfehler !!\r\nIst das Gerät auch richtig angeschlossen und eingeschalten "
     "?\rAutomatische Suche wiederholen mit Ok",
     "Transmit error !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic "
     "search with Ok"},
    // MSG_WRONG_DEVICE
    {"Falsches Gerät angeschlossen !!", "Wrong device connected !!"},
    // MSG_INVALID_VERSION
    {"keine gültige Software-Version !!", "No valid software version !!"},
    // MSG_SAME_VERSION
    {"Die aktuelle Software-VersionX ist schon im Gerät.\r\nWollen Sie trotzdem den Download "
     "fortsetzen ?",
     "The latest software versionX is already in device.\r\nDo you want to continue the download "
     "nevertheless?"},
    // CAPTION_ERROR
    {"Fehler", "Error"},
    // CAPTION_INFO
    {"Info", "Info"},
    // MSG_TERMFILE_OPEN
    {"L3_TermL.A37 konnte nicht geöffnet werden", "Unable to open L3_TermL.A37"},
    // MSG_TERM_PROGRAMMING
    {"\r\nNAME wird programmiert !!\r\n\r\n", "\r\nProgramming NAME !!\r\n\r\n"},
    // MSG_TERM_ABORT
    {"Programmierung abgebrochen !\r\nTrennen Sie das NAME vom Steckernetzteil und der "
     "Schnittstelle COM X.\r\nBeenden Sie das Windows-Programm unter Datei/Beenden und starten "
     "Sie das Programm erneut für eine Neuprogrammierung.",
     "Programming abort !\r\nDisconnect the NAME from power supply unit and COM X.\r\nClose the "
     "window program with File/Exit and start the program for a new download"},
    // MSG_TERM_TRANSMIT
    {"Fehler in der Datenübertragung !!\r\n", "Transmit error !!\r\n"},
    // MSG_TERM_PREPARING
    {"--------------------\r\nProgramm wird vorbereitet !!",
     "--------------------\r\nPreparing program !!"},
    // MSG_TERM_SUCCESS
    {"--------------------\r\nProgramm erfolgreich überspielt !\r\n\r\nTrennen Sie das NAME vom "
     "Steckernetzteil und der Schnittstelle COM X.\r\n\r\nStecken Sie danach das Netzteil wieder "
     "an und starten Sie das NAME\r\nBeenden Sie das Windows-Programm unter Datei/Beenden.",
     "--------------------\r\nProgram successfully programmed !\r\n\r\nDisconnect the NAME from "
     "power supply unit and COM X.\r\n\r\nConnect the NAME with the power supply unit and start "
     "the NAME\r\nClose the window program with File/Exit."},
    // MSG_BOOTLOADER_ERROR
    {"Fehler im Bootloader !!  Programmierung wurde abgebrochen.",
     "Error in bootloader !!  Programming abort."},
    // MSG_DONE_TITLE
    {"Update [beendet]", "Update [ready]"},
    // MSG_BOOTLOADER_MISSING
    {"Bootloader im Zielgerät nicht verfügbar!!  Programmierung wurde abgebrochen.",
     "bootloader in target not available!!  Programming abort."},
    // MSG_SENSOR_RS232
    {"Die Software für die Sensoridentifizierung kann über die RS232 Schnittstelle nicht "
     "aktuallisiert werden! (nur über USB)\r\nWollen Sie trotzdem den Download für die "
     "Gerätesoftware fortsetzen ?",
     "The software for sensor identification cannot be actualized via RS232 Interface! (Only via "
     "USB)\r\nDo you want to continue the download for the instruments software nevertheless?"},
    // MSG_FILE_NOT_OPENED (X: the file's name)
    {"Die Datei X lässt sich nicht öffnen.", "Cannot open file X."},
    // MSG_PORT_LOST (X: the port's name)
    {"Die Schnittstelle X ist nicht mehr vorhanden und wird nicht weiter durchsucht.",
     "Port X has gone away and is left out of the search."},
    // DEFAULT_DEVICE_NAME
    {"Gerät", "device"},
    // MSG_NO_GREETING
    {"Das NAME hat sich nach der Programmierung nicht zurückgemeldet.\r\nSchalten Sie das NAME "
     "aus und wieder ein und starten Sie das Update mit Ok erneut.",
     "The NAME did not answer after programming.\r\nSwitch the NAME off and on again and "
     "restart the update with Ok."},
    // MSG_ENTRY_REFUSED (shown by the loader: no placeholders)
    {"Das Gerät hat seinen Bootloader nicht gestartet: es beantwortet den Startbefehl nur mit "
     "der Eingabeaufforderung.\r\nSchalten Sie das Gerät aus und wieder ein und starten Sie das "
     "Update mit Ok erneut.",
     "The instrument did not start its bootloader: it answers the start command with its prompt "
     "only.\r\nSwitch the instrument off and on again and restart the update with Ok."},
    // MSG_LINE_NOISE (shown by the loader: no placeholders)
    {"Störungen auf der Leitung: der Bootloader antwortet nicht.\r\nPrüfen Sie Kabel und "
     "Stecker, schalten Sie das Gerät aus und wieder ein und starten Sie das Update mit Ok "
     "erneut.",
     "Noise on the line: the bootloader does not answer.\r\nCheck the cable and plugs, switch "
     "the instrument off and on again and restart the update with Ok."},
    // MSG_PATH_NOT_AVAILABLE (behind the name of the path)
    {": in dieser Programmversion nicht verfügbar.", ": not available in this program version."},
    // Further files and the air-pressure upload.
    // MSG_TRANSFER_NO_ANSWER
    {"Das NAME antwortet nicht mehr, die Übertragung wurde abgebrochen.\r\nSchalten Sie das NAME "
     "aus und wieder ein und starten Sie das Update mit Ok erneut.",
     "The NAME stopped answering, the transfer was stopped.\r\nSwitch the NAME off and on again "
     "and restart the update with Ok."},
}};

}  // namespace

std::string_view Text(MessageId id, int32_t language) {
  if (id < 0 || id >= kMessageCount) return {};
  return kCatalogue[static_cast<size_t>(id)][static_cast<size_t>(LanguageRow(language))];
}

}  // namespace messages
