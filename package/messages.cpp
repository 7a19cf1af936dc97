#include "package/messages.h"

#include <algorithm>
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
     "der Schnittstelle COM X.\r\n\r\nBeenden Sie das Programm unter Datei/Beenden.",
     "--------------------\r\nDownload successfully completed !\r\n\r\nDisconnect the NAME from "
     "the COM X port.\r\n\r\nExit the program under File/Exit."},
    // MSG_WRONG_DOWNLOAD
    {"Der Download ist für ein NAME !\r\nSie haben ein falsches Gerät angeschlossen oder "
     "verwenden ein falsches Downloadprogramm.",
     "Download is for an NAME !\r\nWrong device connected or wrong download program used."},
    // MSG_DEVICE_NEWER
    {"Die Software-Version X in Ihrem Gerät ist aktueller als die, die das Downloadprogramm "
     "anbietet.",
     "The software version X in your device is more up to date then the download program can "
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
    // (a question: it offers Yes and No, not OK)
    {"Übertragungsfehler !!\r\nIst das Gerät auch richtig angeschlossen und eingeschalten "
     "?\rAutomatische Suche wiederholen?",
     "Transmit error !!\r\nIs the meter correctly connected an switched on?\rRepeat automatic "
     "search?"},
    // MSG_WRONG_DEVICE
    {"Falsches Gerät angeschlossen !!", "Wrong device connected !!"},
    // MSG_INVALID_VERSION
    {"keine gültige Software-Version !!", "No valid software version !!"},
    // MSG_SAME_VERSION
    {"Die aktuelle Software-Version X ist schon im Gerät.\r\nWollen Sie trotzdem den Download "
     "fortsetzen ?",
     "The latest software version X is already in device.\r\nDo you want to continue the download "
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
     "Schnittstelle COM X.\r\nBeenden Sie das Programm unter Datei/Beenden und starten Sie das "
     "Programm erneut für eine Neuprogrammierung.",
     "Programming abort !\r\nDisconnect the NAME from power supply unit and COM X.\r\nExit the "
     "program under File/Exit and start the program again for a new download."},
    // MSG_TERM_TRANSMIT
    {"Fehler in der Datenübertragung !!\r\n", "Transmit error !!\r\n"},
    // MSG_TERM_PREPARING
    {"--------------------\r\nProgramm wird vorbereitet !!",
     "--------------------\r\nPreparing program !!"},
    // MSG_TERM_SUCCESS
    {"--------------------\r\nProgramm erfolgreich überspielt !\r\n\r\nTrennen Sie das NAME vom "
     "Steckernetzteil und der Schnittstelle COM X.\r\n\r\nStecken Sie danach das Netzteil wieder "
     "an und starten Sie das NAME\r\nBeenden Sie das Programm unter Datei/Beenden.",
     "--------------------\r\nProgram successfully programmed !\r\n\r\nDisconnect the NAME from "
     "power supply unit and COM X.\r\n\r\nConnect the NAME with the power supply unit and start "
     "the NAME\r\nExit the program under File/Exit."},
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
    // WinCE file transfer (shown by the transfer: X is the file's name, no other placeholders)
    // MSG_WINCE_FILE_TOO_LARGE
    {"Die Datei X ist größer als 3000000 Bytes und wird nicht übertragen.",
     "File X is larger than 3000000 bytes and is not transferred."},
    // MSG_WINCE_NO_ACK
    {"Das Gerät hat die Übertragung nicht innerhalb von 8 Sekunden bestätigt.\r\nPrüfen Sie "
     "Kabel und Stecker, schalten Sie das Gerät aus und wieder ein und starten Sie das Update "
     "mit Ok erneut.",
     "The instrument did not acknowledge the transfer within 8 seconds.\r\nCheck the cable and "
     "plugs, switch the instrument off and on again and restart the update with Ok."},
    // MSG_WINCE_BLOCK_REFUSED
    {"Das Gerät hat einen Datenblock abgewiesen: die Übertragung wurde abgebrochen.",
     "The instrument refused a data block: the transfer was aborted."},
    // MSG_WINCE_CANCELLED
    {"Die Übertragung wurde abgebrochen (Esc).", "The transfer was cancelled (Esc)."},
    // Linux ports and package folders, and boot-loader failures that say what to try.
    // MSG_PORT_NOT_PERMITTED
    {"Keine Berechtigung für die Schnittstelle %1. Nehmen Sie Ihren Benutzer in die Gruppe "
     "dialout auf (sudo usermod -a -G dialout $USER) und melden Sie sich danach neu an.",
     "No permission to open port %1. Add your user to the group dialout (sudo usermod -a -G "
     "dialout $USER), then log in again."},
    // MSG_PORT_DEVICE
    {"%1 ist %2", "%1 is %2"},
    // MSG_PACKAGE_FILE_MISSING
    {"Die Datei %1 fehlt; gesucht in: %2\r\nStarten Sie das Programm im Ordner des "
     "Firmware-Pakets oder nennen Sie den Ordner mit --package ORDNER. Das Programm wird "
     "beendet.",
     "The file %1 is missing; searched in: %2\r\nStart the program in the folder of the firmware "
     "package or name that folder with --package FOLDER. The program ends."},
    // MSG_BSL_FAILED_STEP
    {"Fehlgeschlagener Schritt im Bootloader: %1 (Code %2).",
     "Failed boot-loader step: %1 (code %2)."},
    // MSG_BSL_STEP_SYNC
    {"Verbindungsaufbau", "connection"},
    // MSG_BSL_STEP_VERSION
    {"Versionsabfrage", "version query"},
    // MSG_BSL_STEP_BAUD_RATE
    {"Umschalten der Übertragungsgeschwindigkeit", "change of the transfer speed"},
    // MSG_BSL_STEP_PASSWORD
    {"Passwort", "password"},
    // MSG_BSL_STEP_ERASE
    {"Löschen", "erase"},
    // MSG_BSL_STEP_WRITE
    {"Schreiben", "write"},
    // MSG_BSL_STEP_READ_BACK
    {"Rücklesen", "read-back"},
    // MSG_BSL_STEP_START
    {"Start der Firmware", "start of the firmware"},
    // MSG_BSL_STEP_PATCH
    {"Laden der Bootloader-Ergänzung", "loading the boot-loader patch"},
    // MSG_BSL_STEP_ADDRESS
    {"Setzen der Speicheradresse", "setting the memory address"},
    // MSG_BSL_STEP_ENTRY
    {"Start des Bootloaders", "boot-loader entry"},
    // MSG_BSL_STEP_ANSWER
    {"Warten auf eine Antwort", "waiting for an answer"},
    // MSG_BSL_STEP_OTHER
    {"Vorbereitung", "preparation"},
    // MSG_BSL_ADVICE_LINE
    {"Abhilfe: Prüfen Sie Kabel und Stecker, schalten Sie das Gerät aus und wieder ein und "
     "starten Sie das Update mit Ok erneut.",
     "What to do: check the cable and plugs, switch the instrument off and on again and restart "
     "the update with Ok."},
    // MSG_BSL_ADVICE_PASSWORD
    {"Abhilfe: Prüfen Sie, ob die Firmware zu diesem Gerät gehört, schalten Sie das Gerät aus "
     "und wieder ein und starten Sie das Update mit Ok erneut.",
     "What to do: check that the firmware belongs to this instrument, switch the instrument off "
     "and on again and restart the update with Ok."},
    // MSG_BSL_ADVICE_MEMORY
    {"Abhilfe: Schalten Sie das Gerät aus und wieder ein und starten Sie das Update mit Ok "
     "erneut. Schlägt es wieder fehl, wenden Sie sich an den Service.",
     "What to do: switch the instrument off and on again and restart the update with Ok. If it "
     "fails again, contact the service."},
    // Basic-Loader terminal.
    // MSG_TERMFILE_TOO_BIG (X: the file)
    {"X ist größer als 2500000 Bytes und wird nicht übertragen.\r\nPrüfen Sie das "
     "Firmware-Paket.",
     "X is larger than 2500000 bytes and is not sent.\r\nCheck the firmware package."},
    // MSG_TERM_NO_ANSWER
    {"Der Basic-Loader des NAME antwortet nicht mehr.",
     "The NAME's Basic-Loader stopped answering."},
    // External loader programs and the M16 loader library. Each X is filled in order.
    // MSG_LOADER_MISSING (X: the program, X: the folder searched)
    {"Das Ladeprogramm X ist im Ordner X nicht vorhanden.",
     "The loader program X is not in the folder X."},
    // MSG_LOADER_NO_WINE (X: the program, X: the folder)
    {"Das Ladeprogramm X im Ordner X ist ein Windows-Programm, und wine ist nicht installiert.",
     "The loader program X in the folder X is a Windows program, and wine is not installed."},
    // MSG_LOADER_NOT_STARTED (X: the program, X: the folder, X: the system's reason)
    {"Das Ladeprogramm X im Ordner X lässt sich nicht starten: X",
     "The loader program X in the folder X cannot be started: X"},
    // MSG_LOADER_TIMEOUT (X: the program, X: minutes)
    {"Das Ladeprogramm X ist nach X Minuten nicht fertig und wurde beendet.",
     "The loader program X had not finished after X minutes and was ended."},
    // MSG_LOADER_EXIT_CODE (X: the program, X: its exit code)
    {"Das Ladeprogramm X meldet den Fehlercode X.", "The loader program X reports error code X."},
    // MSG_LOADER_PORT_NUMBER (X: the program, X: the instrument's port)
    {"Das Windows-Ladeprogramm X kann nur COM1 bis COM9 benutzen; das Gerät ist an X "
     "angeschlossen.\r\nSchließen Sie das Gerät an COM1 bis COM9 an oder legen Sie das "
     "Ladeprogramm für dieses System in den Ordner des Firmware-Pakets.",
     "The Windows loader program X can only use COM1 to COM9; the instrument is connected to "
     "X.\r\nConnect the instrument to COM1 to COM9 or put the loader program for this system "
     "into the firmware package's folder."},
    // MSG_M16_ENTRY_MISSING (X: the library, X: the entry point)
    {"Der Ladebibliothek X fehlt der Einsprungpunkt X.",
     "The loader library X lacks the entry point X."},
    // MSG_M16_FILE_NAME (X: the file name)
    {"Der Dateiname X ist für die Ladebibliothek zu lang (höchstens 79 Zeichen).",
     "The file name X is too long for the loader library (79 characters at most)."},
    // MSG_M16_STAGE_FAILED (X: the library's call)
    {"Die Programmierung über die Ladebibliothek ist bei X fehlgeschlagen.",
     "Programming through the loader library failed at X."},
    // Further files and the air-pressure upload.
    // MSG_TRANSFER_NO_ANSWER
    {"Das NAME antwortet nicht mehr, die Übertragung wurde abgebrochen.\r\nSchalten Sie das NAME "
     "aus und wieder ein und starten Sie das Update mit Ok erneut.",
     "The NAME stopped answering, the transfer was stopped.\r\nSwitch the NAME off and on again "
     "and restart the update with Ok."},
    // File names a package gives and the ports loader programs are told.
    // MSG_PACKAGE_FILE_OUTSIDE (X: the file name)
    {"Die Datei X liegt nicht im Ordner des Firmware-Pakets (absoluter Pfad oder \"..\"); das "
     "Update wird nicht ausgeführt.\r\nBitte verwenden Sie ein unverändertes Firmware-Paket.",
     "The file X lies outside the firmware package's folder (an absolute path or \"..\"); the "
     "update is not carried out.\r\nPlease use an unaltered firmware package."},
    // MSG_PACKAGE_FILE_OPTION (X: the file name)
    {"Der Dateiname X beginnt mit \"-\" und würde von einem Ladeprogramm als Option gelesen; das "
     "Update wird nicht ausgeführt.\r\nBitte verwenden Sie ein unverändertes Firmware-Paket.",
     "The file name X begins with \"-\" and would be read as an option by a loader program; the "
     "update is not carried out.\r\nPlease use an unaltered firmware package."},
    // Waits of the update run for the instrument.
    // MSG_NO_BOOT_SWITCH_ANSWER
    {"Das NAME hat den Wechsel in seinen Bootloader nicht bestätigt.\r\nSchalten Sie das NAME "
     "aus und wieder ein und starten Sie das Update mit Ok erneut.",
     "The NAME did not confirm the switch to its boot loader.\r\nSwitch the NAME off and on "
     "again and restart the update with Ok."},
    // MSP430 images: vectors the next update's password must contain.
    // MSG_IMAGE_SETS_VECTORS (%1: the firmware file)
    {"Warnung: Die Firmware-Datei %1 setzt außer dem Reset-Vektor weitere Interrupt-Vektoren. "
     "Das nächste Update dieses Geräts gelingt nur, wenn das Gerät diese Vektoren als Passwort "
     "meldet; sonst wird es beim Löschen abgewiesen.",
     "Warning: the firmware file %1 sets interrupt vectors besides the reset vector. The next "
     "update of this instrument works only if the instrument reports these vectors as its "
     "password; otherwise it is refused at the erase."},
    // MSG_NO_SERIAL_PORT
    {"Das Programm findet keine serielle Schnittstelle. Schließen Sie das Gerät an (ein "
     "USB-Adapter erscheint z. B. als %1) und versuchen Sie es erneut. Welche Schnittstellen "
     "das Programm sieht, zeigt update-cli --list-ports.",
     "The program finds no serial port. Connect the instrument (a USB adapter appears as, e.g., "
     "%1) and try again. update-cli --list-ports lists the ports the program sees."},
    // MSG_NO_PORT_PERMITTED
    {"Ihr Benutzer darf keine der seriellen Schnittstellen öffnen.",
     "Your user may open none of the serial ports."},
    // MSG_PORT_BUSY
    {"Die Schnittstelle wird von einem anderen Programm benutzt: %1. Beenden Sie dieses "
     "Programm und versuchen Sie es erneut.",
     "The port is in use by another program: %1. End that program and try again."},
    // MSG_COM_PORT_ABSENT
    {"Update.ini legt mit der Zeile Com=%2 die Schnittstelle %1 fest, die es auf diesem Rechner "
     "nicht gibt. Schließen Sie das Gerät dort an, oder korrigieren Sie die Zeile Com= in "
     "Update.ini (leer: alle Schnittstellen werden durchsucht). Welche Schnittstellen es gibt, "
     "zeigt update-cli --list-ports.",
     "Update.ini fixes the port %1 with the line Com=%2, and this machine has no such port. "
     "Connect the instrument there, or correct the line Com= in Update.ini (empty: all ports "
     "are searched). update-cli --list-ports lists the ports there are."},
    // The window's choice of the package folder when it is started without one.
    // CAPTION_CHOOSE_PACKAGE
    {"Firmware-Paket wählen", "Choose the firmware package"},
    // MSG_CHOSEN_FOLDER_NO_PACKAGE
    {"Die Datei %1 fehlt; gesucht in: %2\r\nWählen Sie den Ordner des Firmware-Pakets (er "
     "enthält Update.ini und ProgDevice.ini) oder brechen Sie ab, um das Programm zu beenden.",
     "The file %1 is missing; searched in: %2\r\nChoose the folder of the firmware package (it "
     "holds Update.ini and ProgDevice.ini), or cancel to end the program."},
    // Texts of each front-end in the run's language.
    // BUTTON_OK
    {"OK", "OK"},
    // BUTTON_YES
    {"&Ja", "&Yes"},
    // BUTTON_NO
    {"&Nein", "&No"},
    // MSG_UNKNOWN_ERROR
    {"Unbekannter Fehler. Das Programm wird beendet; starten Sie es erneut.",
     "Unknown error. The program ends; start it again."},
    // MSG_PORT_NOT_OPENED
    {"%1 konnte nicht geöffnet werden!", "Cannot open %1!"},
    // MSG_PORT_LINE_REFUSED
    {"%1: Schnittstelle lässt sich nicht einstellen (%2)", "%1: line settings refused (%2)"},
    // CLI_LABEL_DEVICE
    {"Gerät", "device"},
    // CLI_LABEL_NAME
    {"Name", "name"},
    // CLI_LABEL_SERIAL
    {"Seriennummer", "serial number"},
    // CLI_LABEL_PCB
    {"Platinennummer", "PCB number"},
    // CLI_LABEL_VERSION
    {"Version", "version"},
    // CLI_LABEL_TITLE
    {"Titel", "title"},
    // CLI_LABEL_ANSWER
    {"Antwort", "answer"},
    // CLI_COMPLETED
    {"das Update ist abgeschlossen", "update completed"},
    // CLI_NOT_COMPLETED
    {"das Update wurde nicht abgeschlossen: %1", "the update did not complete: %1"},
    // CLI_STOPPED
    {"beendet: %1", "stopped: %1"},
    // CLI_TRYING_AGAIN
    {"neuer Versuch (--retry)", "trying again (--retry)"},
    // CLI_NO_END
    {"nach %1 Sekunden kein Ende: das Programm gibt auf. Schalten Sie das Gerät aus und wieder "
     "ein und starten Sie das Programm erneut (länger mit --timeout).",
     "no end after %1 seconds: giving up. Switch the instrument off and on again and run the "
     "program again (longer with --timeout)."},
    // CLI_PACKAGE_UNREADABLE
    {"die Dateien des Firmware-Pakets ließen sich nicht lesen",
     "the package files could not be read"},
    // CLI_NOT_A_PORT
    {"%1 ist keine serielle Schnittstelle dieses Rechners (siehe --list-ports)",
     "%1 is not a serial port of this machine (see --list-ports)"},
    // CLI_TRACE_NOT_WRITTEN
    {"die Protokolldatei %1 lässt sich nicht schreiben: %2",
     "the trace file %1 cannot be written: %2"},
    // LIST_NO_PORTS
    {"Keine seriellen Schnittstellen gefunden.", "No serial ports found."},
    // LIST_USABLE
    {"nutzbar", "usable"},
    // LIST_BUSY
    {"belegt", "busy"},
    // LIST_NOT_PERMITTED
    {"keine Berechtigung", "not permitted"},
    // LIST_SERIAL_NUMBER
    {"Seriennummer ", "serial number "},
    // NOTE_LANGUAGE
    {"Update.ini: Language=\"%1\" ist weder 0 noch 1; es gilt Deutsch. Tragen Sie Language=0 "
     "(Deutsch) oder Language=1 (Englisch) ein.",
     "Update.ini: Language=\"%1\" is neither 0 nor 1; German is used. Enter Language=0 "
     "(German) or Language=1 (English)."},
    // NOTE_BAUD_ENTRY
    {"%1: der Baud-Eintrag \"%2\" ist keine Baudraten-Nummer (0 bis 7) und wird übergangen. "
     "Tragen Sie Nummern von 0 bis 7 ein, durch Kommas getrennt.",
     "%1: the Baud entry \"%2\" is not a baud rate number (0 to 7) and is skipped. Enter numbers "
     "from 0 to 7, separated by commas."},
    // NOTE_BAUD_TOO_MANY
    {"%1: mehr als %2 Baud-Einträge; nur die ersten %2 werden versucht. Kürzen Sie die Liste.",
     "%1: more than %2 Baud entries; only the first %2 are tried. Shorten the list."},
    // NOTE_BAUD_NONE
    {"%1: kein nutzbarer Baud-Eintrag; die Standardliste wird versucht. Tragen Sie Nummern von 0 "
     "bis 7 ein, durch Kommas getrennt.",
     "%1: no usable Baud entry; the default list is tried. Enter numbers from 0 to 7, separated "
     "by commas."},
    // NOTE_COM
    {"%1: Com=\"%2\" ist keine Schnittstellennummer (1 bis 256); die Schnittstellen werden "
     "durchsucht. Tragen Sie eine Nummer von 1 bis 256 ein oder lassen Sie Com leer.",
     "%1: Com=\"%2\" is not a port number (1 to 256); the ports are searched. Enter a number "
     "from 1 to 256 or leave Com empty."},
    // NOTE_CLIPPED
    {"%1: der Wert von \"%2\" ist zu lang und wurde gekürzt",
     "%1: the value of \"%2\" is too long and was cut"},
    // NOTE_CLIPPED_LENGTH
    {" (höchstens %1 Zeichen). Kürzen Sie ihn.", " (%1 characters at most). Shorten it."},
    // NOTE_UNREAD_LINES
    {"%1: mehr als %2 Zeilen; die Zeilen danach werden nicht gelesen. Verwenden Sie ein "
     "unverändertes Firmware-Paket.",
     "%1: more than %2 lines; the lines after them are not read. Please use an unaltered "
     "firmware package."},
    // NOTE_START_MODE
    {"%1: DevStartCmd=\"%2\" beginnt nicht mit einer Ziffer 1 bis 9; es gilt Modus 0.",
     "%1: DevStartCmd=\"%2\" does not start with a digit 1 to 9; mode 0 is used."},
    // NOTE_SECTIONS_IGNORED
    {"ProgDevice.ini: %1 Geräteabschnitte nach den ersten %2 werden übergangen.",
     "ProgDevice.ini: %1 device sections beyond the first %2 are ignored."},
    // NOTE_NO_INSTRUMENT
    {"ProgDevice.ini beschreibt kein Gerät. Verwenden Sie ein unverändertes Firmware-Paket.",
     "ProgDevice.ini describes no instrument. Please use an unaltered firmware package."},
    // NOTE_FILE_LINE
    {"%1, Zeile %2", "%1, line %2"},
    // MSG_SETTINGS_NOT_SAVED
    {"%1 konnte nicht gespeichert werden (%2). Die Einstellung gilt bis zum Ende des Programms.",
     "Cannot save %1 (%2). The setting lasts until the program ends."},
    // MSG_SETTINGS_MISSING
    {"die Datei fehlt", "the file is missing"},
    // MSG_NOT_A_FOLDER
    {"%1: kein Ordner. Nennen Sie mit --package den Ordner des Firmware-Pakets.",
     "%1: not a folder. Name the folder of the firmware package with --package."},
    // MSG_FIRMWARE_LIST_FULL
    {"Die Liste der Firmware-Dateien ist voll (%1 Dateien): %2 wird nicht aufgeführt.",
     "Firmware file list full (%1 files): %2 is not listed."},
    // MSG_DOWNLOAD_LIST_FULL
    {"Die Download-Liste ist voll: %1 wird nicht übertragen.",
     "Download list full: %1 is not sent."},
    // MSP430 images and erase plans that cannot be programmed.
    // MSG_IMAGE_FILE_LEAD
    {"Firmware-Datei \"%1\": ", "Firmware file \"%1\": "},
    // MSG_IMAGE_FILE_NAMED
    {"Firmware-Datei \"%1\" ", "Firmware file \"%1\" "},
    // MSG_IMAGE_FILE_LINE
    {"Firmware-Datei \"%1\", Zeile %2: ", "Firmware file \"%1\", line %2: "},
    // MSG_IMAGE_UNREADABLE
    {"kann nicht gelesen werden.", "cannot be read."},
    // MSG_IMAGE_TOO_LARGE
    {"ist größer als %1 Bytes.", "is larger than %1 bytes."},
    // MSG_IMAGE_NO_DATA
    {"enthält keine Daten.", "contains no data."},
    // MSG_IMAGE_DATA_BEFORE_ADDRESS
    {"Daten vor der ersten Adresszeile (@).", "data before the first address line (@)."},
    // MSG_IMAGE_BAD_CHARACTER
    {"%1 ist keine Hexadezimalziffer.", "%1 is not a hexadecimal digit."},
    // MSG_IMAGE_BAD_BYTE
    {"ein Byte ist nicht mit zwei Hexadezimalziffern geschrieben.",
     "a byte is not written as two hexadecimal digits."},
    // MSG_IMAGE_LINE_TOO_LONG
    {"mehr als 16 Bytes in einer Zeile.", "more than 16 bytes in one line."},
    // MSG_IMAGE_BAD_ADDRESS
    {"die Adresszeile enthält keine gültige Hexadezimaladresse.",
     "the address line holds no valid hexadecimal address."},
    // MSG_IMAGE_ADDRESS_OUT_OF_RANGE
    {"Adresse außerhalb des Speichers, den der Bootloader erreicht (unter %1).",
     "address outside the memory the boot loader reaches (below %1)."},
    // MSG_IMAGE_OUT_OF_ORDER
    {"Daten unter 0x10000 nach Daten über 0xFFFF; die Abschnitte müssen aufsteigend geordnet "
     "sein.",
     "data below 0x10000 after data above 0xFFFF; the sections must be in ascending order."},
    // MSG_IMAGE_ODD_BLOCK
    {"ungerade Anzahl Bytes innerhalb eines Abschnitts; der Bootloader schreibt nur ganze "
     "Wörter.",
     "odd number of bytes inside a section; the boot loader writes whole words."},
    // MSG_IMAGE_TOO_MANY_BLOCKS
    {"mehr Blöcke, als die Tabelle fasst (%1).", "more blocks than the table holds (%1)."},
    // MSG_IMAGE_NO_START_ADDRESS
    {"keine Startadresse im Abbild (kein Wort bei 0xFFFC, kein Reset-Vektor).",
     "no start address in the image (no word at 0xFFFC, no reset vector)."},
    // MSG_IMAGE_NO_VECTOR_TABLE
    {"Daten über 0xFFFF, aber keine Interrupt-Vektortabelle.",
     "data above 0xFFFF but no interrupt vector table."},
    // MSG_ERASE_BEYOND_FLASH
    {"Löschadresse %1 (FlashErase2/FlashErase3 der Gerätedatei) liegt außerhalb des "
     "Flash-Speichers des Prozessors (höchstens %2). Es wurde nichts gelöscht; bitte die "
     "Gerätedatei korrigieren.",
     "Erase address %1 (FlashErase2/FlashErase3 of the device file) lies beyond the processor's "
     "flash (at most %2). Nothing has been erased; please correct the device file."},
    // MSG_LOADER_NO_PORT
    {"%1: keine Verbindung zum Gerät (kein Port gewählt). Bitte das Gerät anschließen und mit "
     "OK neu suchen.",
     "%1: no connection to the instrument (no port chosen). Please connect the instrument and "
     "press OK to search again."},
    // Gang programming and the run record.
    // MSG_RECORD_NOT_WRITTEN
    {"Warnung: Der Lauf konnte nicht in das Protokoll %1 eingetragen werden (%2). Das Update "
     "selbst ist davon nicht betroffen; bitte prüfen Sie, ob der Ordner beschreibbar ist.",
     "Warning: the run could not be entered in the record %1 (%2). The update itself is not "
     "affected; please check that the folder can be written."},
    // GANG_HEADINGS
    {"Port|Gerätedatei|Gerät|Seriennummer|Schritt|%|Ergebnis",
     "Port|Device|Instrument|Serial number|Step|%|Result"},
    // GANG_STEP_SEARCH
    {"sucht", "searching"},
    // GANG_STEP_IDENTIFIED
    {"erkannt", "identified"},
    // GANG_STEP_PROGRAMMING
    {"programmiert", "programming"},
    // GANG_STEP_ENDED
    {"beendet", "ended"},
    // GANG_RESULT_PROGRAMMED
    {"programmiert", "programmed"},
    // GANG_RESULT_CURRENT
    {"schon aktuell", "already current"},
    // GANG_RESULT_DECLINED
    {"abgelehnt", "declined"},
    // GANG_RESULT_FAILED
    {"fehlgeschlagen", "failed"},
    // GANG_RESULT_NOT_FOUND
    {"kein Gerät", "not found"},
    // GANG_SUMMARY
    {"%1 von %2 Ports mit Gerät sind programmiert oder schon aktuell.",
     "%1 of %2 ports with an instrument are programmed or already current."},
    // GANG_LOGS
    {"Das Protokoll jedes Ports steht in %1.", "The log of each port is in %1."},
    // GANG_NO_PORT
    {"Keine Schnittstelle kann benutzt werden. Schließen Sie die Geräte an (update-cli "
     "--list-ports zeigt die Schnittstellen) und starten Sie erneut.",
     "No port can be used. Connect the instruments (update-cli --list-ports shows the ports) and "
     "start again."},
    // GANG_LOG_NOT_OPEN
    {"die Protokolldatei %1 lässt sich nicht anlegen: %2", "the log file %1 cannot be created: %2"},
    // GANG_NONE_FOUND
    {"An keiner Schnittstelle wurde ein Gerät gefunden. Prüfen Sie Kabel und Stromversorgung "
     "der Geräte und starten Sie erneut.",
     "No instrument was found on any port. Check the instruments' cables and power, then start "
     "again."},
    // GANG_RECORD_FILE
    {"Jeder Lauf wird in %1 eingetragen.", "Each run is entered in %1."},
    // MENU_OPEN_RECORD
    {"Protokoll der Läufe öffnen", "Open the record of runs"},
    // MSG_NO_RECORD_YET
    {"Es gibt noch kein Protokoll der Läufe (%1). Es wird nach dem ersten Lauf angelegt.",
     "There is no record of runs yet (%1). It is created after the first run."},
    // MSG_RECORD_NOT_OPENED
    {"Das Protokoll der Läufe ließ sich nicht öffnen: %1. Öffnen Sie es mit einer "
     "Tabellenkalkulation oder einem Texteditor.",
     "The record of runs could not be opened: %1. Open it with a spreadsheet program or a text "
     "editor."},
    // The package check (update-cli --check) and the air-pressure table from the package.
    // CHECK_OK
    {"OK", "OK"},
    // CHECK_WARNING
    {"Warnung", "warning"},
    // CHECK_ERROR
    {"Fehler", "error"},
    // CHECK_HEADING
    {"Prüfung des Firmware-Pakets %1 (es wird keine Schnittstelle geöffnet):",
     "Checking the firmware package %1 (no port is opened):"},
    // CHECK_SUMMARY
    {"Fehler: %1, Warnungen: %2.", "Errors: %1, warnings: %2."},
    // CHECK_FILE_READ
    {"%1 gelesen.", "%1 read."},
    // CHECK_ENTRIES
    {"ProgDevice.ini: %1 Geräteeinträge.", "ProgDevice.ini: %1 device entries."},
    // CHECK_NO_ENTRIES
    {"ProgDevice.ini enthält keinen Geräteeintrag: kein Gerät kann aktualisiert werden.",
     "ProgDevice.ini holds no device entry: no instrument can be updated."},
    // CHECK_ENTRY
    {"Eintrag %1 (%2)", "Entry %1 (%2)"},
    // CHECK_FILE_PRESENT
    {"%1 ist vorhanden (%2 Bytes).", "%1 is there (%2 bytes)."},
    // CHECK_FILE_MISSING
    {"%1 wird genannt, fehlt aber im Paket; bitte die Datei ins Paket legen oder den Eintrag "
     "korrigieren.",
     "%1 is named but missing from the package; add the file or correct the entry."},
    // CHECK_NOT_LISTED
    {"%1 ist keine der Firmware-Dateien, die das Programm auflistet (*.mot, *.txt, *.exe, *.dll, "
     "*.hex); ein Update meldete ein falsches Gerät.",
     "%1 is not one of the firmware files the program lists (*.mot, *.txt, *.exe, *.dll, *.hex); "
     "an update would report a wrong instrument."},
    // CHECK_FURTHER_FILE
    {"Weitere Datei %1 ist vorhanden (%2 Bytes).", "Further file %1 is there (%2 bytes)."},
    // CHECK_PATTERN_EMPTY
    {"%1 trifft keine Datei; es wird nichts übertragen.", "%1 matches no file; nothing is sent."},
    // CHECK_VERSION
    {"%1: angebotene Version %2.", "%1: offered version %2."},
    // CHECK_NO_VERSION
    {"%1: kein Versionstext hinter dem Muster %2; ein Update läse Version 0 und wiese jedes Gerät "
     "mit einer Version ab.",
     "%1: no version text after the pattern %2; an update would read version 0 and refuse every "
     "instrument that has a version."},
    // CHECK_LOADER_CLASSIC
    {"%1 wird mit dem klassischen MSP430-Bootloader programmiert.",
     "%1 is programmed with the classic MSP430 boot loader."},
    // CHECK_LOADER_F5XX
    {"%1 wird mit dem F5xx-Bootloader programmiert.",
     "%1 is programmed with the F5xx boot loader."},
    // CHECK_BLOCKS
    {"%1: %2 Blöcke in der Reihenfolge des Sendens: ",
     "%1: %2 blocks in the order they are sent: "},
    // CHECK_ERASE
    {"%1: die Löschfolge löscht %2 Segmente: ", "%1: the erase plan erases %2 segments: "},
    // CHECK_MEMORY_OFFSET
    {"%1: Daten über 0xFFFF; vor Block %2 wird der Speicher-Offset auf 1 gesetzt, vor dem "
     "Vektorsegment zurück auf 0.",
     "%1: data above 0xFFFF; the memory offset is set to 1 before block %2 and back to 0 before "
     "the vector segment."},
    // CHECK_VECTOR_SEGMENT
    {"%1: das Vektorsegment 0xFE00-0xFFFF wird erst vor Block %2 gelöscht und dann geschrieben.",
     "%1: the vector segment 0xFE00-0xFFFF is erased only before block %2, then written."},
    // CHECK_START
    {"%1: Startadresse %2.", "%1: start address %2."},
    // CHECK_SETS_VECTORS
    {"%1 setzt außer dem Reset-Vektor weitere Interrupt-Vektoren: das Passwort des nächsten "
     "Updates stimmt dann nicht, wenn das Gerät nur den Reset-Vektor meldet.",
     "%1 sets interrupt vectors besides the reset vector: the next update's password will not "
     "match when the instrument reports only the reset vector."},
    // CHECK_TOO_LARGE
    {"%1 ist größer als %2 Bytes; das Ladeprogramm wiese die Datei ab.",
     "%1 is larger than %2 bytes; the loader would refuse it."},
    // CHECK_LANGUAGE_FILE_MISSING
    {"%1 fehlt im Paket; das Fenster nimmt die Datei des installierten Programms, wenn es eine "
     "hat.",
     "%1 is missing from the package; the window takes the installed program's file if it has "
     "one."},
    // CHECK_MANUAL_MISSING
    {"%1 fehlt im Paket; die Hilfe öffnet das Handbuch des installierten Programms, wenn es eines "
     "hat.",
     "%1 is missing from the package; Help opens the installed program's manual if it has one."},
    // CHECK_PRESSURE_TABLE
    {"%1: %2 Kalibrierwerte; sie ersetzen die eingebauten.",
     "%1: %2 calibration values; they replace the built-in ones."},
    // CHECK_PRESSURE_BUILT_IN
    {"Keine Datei AirPressure.csv: die Geräte erhalten die eingebauten Luftdruck-Kalibrierwerte.",
     "No AirPressure.csv: instruments get the built-in air-pressure calibration values."},
    // MSG_PRESSURE_NO_SERIAL
    {"%1: keine Seriennummer am Zeilenanfang; die Zeile wird übergangen.",
     "%1: no serial number at the start of the line; the line is passed over."},
    // MSG_PRESSURE_BAD_VALUE
    {"%1: kein Wert mit Punkt (z. B. 948.5) nach der Seriennummer; das Gerät %2 erhält den "
     "Vorgabewert 947.0.",
     "%1: no value with a point (e.g. 948.5) after the serial number; instrument %2 gets the "
     "default value 947.0."},
    // MSG_PRESSURE_OUT_OF_RANGE
    {"%1: der Wert liegt außerhalb von 300.0 bis 1100.0 hPa; das Gerät %2 erhält den Vorgabewert "
     "947.0.",
     "%1: the value lies outside 300.0 to 1100.0 hPa; instrument %2 gets the default value 947.0."},
    // MSG_PRESSURE_REPEATED
    {"%1: die Seriennummer steht schon in einer früheren Zeile; das Gerät %2 erhält den "
     "Vorgabewert 947.0.",
     "%1: the serial number stands on an earlier line too; instrument %2 gets the default value "
     "947.0."},
    // MSG_PRESSURE_UNREADABLE
    {"AirPressure.csv lässt sich nicht lesen; jedes Gerät erhält den Luftdruck-Vorgabewert 947.0.",
     "AirPressure.csv cannot be read; every instrument gets the default air-pressure value 947.0."},
    // CHECK_NO_MAIN_FILE
    {"ProgFile2 nennt keine Firmware-Datei; ein Update meldete ein falsches Gerät.",
     "ProgFile2 names no firmware file; an update would report a wrong instrument."},
    // CHECK_TERMINAL_FILE_MISSING
    {"%1 fehlt im Paket: ein Terminal-Gerät, das diese Datei verlangt, wird nicht programmiert.",
     "%1 is missing from the package: a terminal instrument that asks for it is not programmed."},
}};

// The phrases of the window's texts that speak of its menu or its OK button, and what the
// console program says instead (it has neither: it goes on by itself or ends). Longer phrases
// come before the shorter ones they contain.
struct ConsolePhrase {
  std::string_view window;
  std::string_view console;
};
constexpr std::array<ConsolePhrase, 10> kConsolePhrases = {{
    {"Beenden Sie das Programm unter Datei/Beenden und starten Sie das Programm erneut für eine "
     "Neuprogrammierung.",
     "Starten Sie das Programm danach erneut für eine Neuprogrammierung."},
    {"Exit the program under File/Exit and start the program again for a new download.",
     "Then start the program again for a new download."},
    {"Beenden Sie das Programm unter Datei/Beenden.", "Das Programm endet jetzt."},
    {"Exit the program under File/Exit.", "The program ends now."},
    {"Bestätigen Sie dies danach mit dem Ok-Button!",
     "Das Programm wartet jetzt einige Sekunden auf das Gerät."},
    {"Confirm with the Ok-button!", "The program now waits a few seconds for the instrument."},
    {"Automatische Suche wiederholen mit Ok", "Die automatische Suche wird wiederholt."},
    {"Repeat automatic search with Ok", "The automatic search is repeated."},
    {"starten Sie das Update mit Ok erneut", "starten Sie das Programm erneut"},
    {"restart the update with Ok", "run the program again"},
}};

}  // namespace

std::string ForConsole(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const std::string_view rest = text.substr(i);
    const auto phrase =
        std::find_if(kConsolePhrases.begin(), kConsolePhrases.end(),
                     [rest](const ConsolePhrase& p) { return rest.starts_with(p.window); });
    if (phrase != kConsolePhrases.end()) {
      out += phrase->console;
      i += phrase->window.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string_view Text(MessageId id, int32_t language) {
  if (id < 0 || id >= kMessageCount) return {};
  return kCatalogue[static_cast<size_t>(id)][static_cast<size_t>(LanguageRow(language))];
}

std::string Filled(MessageId id, int32_t language, std::string_view first,
                   std::string_view second) {
  const std::string_view text = Text(id, language);
  std::string filled;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
      filled += text[i + 1] == '1' ? first : second;
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

}  // namespace messages
