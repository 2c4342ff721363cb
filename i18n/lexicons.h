#pragma once
// The indexed phrase tables that every run-time text is built from. Items
// are read by index at the moment a text is built, so a language switch
// shows in the next text built.
#include <QString>
#include <QStringList>

namespace zt {

struct Lexicon {
  QStringList items;
  // Item i, or an empty text when the lexicon is shorter (a language file may
  // lack items; a missing word must never crash the display).
  QString operator[](int i) const { return (i >= 0 && i < items.size()) ? items.at(i) : QString(); }
};

struct Lexicons {
  Lexicon Dlang_connect;  // connection states
  Lexicon Dlang1;         // metric prefixes
  Lexicon Dlang2;         // circuits
  Lexicon Dlang3;         // units
  Lexicon D1;             // panel captions and messages
  Lexicon D2;             // grid headings
  Lexicon D3;             // short words
  Lexicon D4;             // the program's own messages (items: namespace msg)
  Lexicon D5;             // the chart window and the sorting statistics (items: namespace chart)

  // The design language (Russian) texts.
  static const Lexicons& russian();

  // The lexicon names as language files spell them, in declaration order.
  static const QStringList& names();
  // The lexicon of that name, or nullptr for an unknown name.
  Lexicon* byName(QStringView name);
  const Lexicon* byName(QStringView name) const;
};

// Items of D4. A text with %1, %2... takes the arguments named beside it.
namespace msg {
enum : int {
  kLogFull = 0,            // %1 the last position
  kNoProfileFile,          //
  kProfileFileDamaged,     // %1 file, %2 the problems, one a line
  kProfileOpenError,       // %1 file, %2 the system's reason
  kNoSuchProfile,          // %1 profile number
  kNothingToDelete,        //
  kProfileBeyondEnd,       // %1 profile number
  kProfileCutShort,        // %1 profile number
  kProfilesBeyondEnd,      // %1 first, %2 last profile number
  kRecordTooShort,         // %1 record size in bytes
  kProfileFieldProblem,    // %1 profile number, %2 what is wrong
  kFieldTooLong,           // %1 field, %2 stored length, %3 limit
  kFieldName,              // names of the record's texts, for kFieldTooLong
  kFieldPrimaryTolerance,  //
  kFieldPrimaryNominal,    //
  kFieldSecondaryTolerance,
  kFieldSecondaryNominal,
  kFileShorterThanHeader,   //
  kHeaderCountNegative,     // %1 the count
  kHeaderCountTooHigh,      // %1 header count, %2 profiles the file holds
  kSettingsOpenError,       // %1 file, %2 the system's reason
  kSettingsWriteError,      // %1 file, %2 the system's reason
  kSettingsPathTooLong,     // %1 byte limit, %2 the path
  kExportFilterXlsx,        // file types of the export dialogue
  kExportFilterCsv,         //
  kExportCancel,            // the progress dialogue's button
  kExportFailed,            // %1 file, %2 the reason
  kExportIsFolder,          // the reasons
  kExportNoFileName,        //
  kExportOutOfMemory,       //
  kExportNoWorkbook,        //
  kExportNoWorksheet,       //
  kExportCellError,         // %1 row, %2 column, %3 the library's reason
  kExportFinishError,       // %1 the library's reason
  kExportBadSeparator,      //
  kExportTempError,         // %1 the system's reason
  kExportWriteError,        // %1 the system's reason
  kExportReplaceError,      // %1 the system's reason
  kUnknownError,            // an error with no description of its own
  kPortNoAccess,            // %1 the port, %2 the group that owns it
  kReplaceFile,             // %1 the file that would be replaced
  kJournalRestored,         // %1 rows put back, %2 when the journal began
  kJournalSkipped,          // %1 damaged records, %2 their line numbers (added to kJournalRestored)
  kJournalOutside,          // %1 rows beyond the profile table (added to kJournalRestored)
  kJournalNothingRestored,  // %1 damaged records, %2 their line numbers
  kJournalWriteError,       // %1 file, %2 the system's reason
  kJournalInUse,            // %1 the journal's folder
  kPublishTitle,            // the publishing dialogue: its title
  kPublishEnabled,          // its fields
  kPublishHost,             //
  kPublishPort,             //
  kPublishPrefix,           //
  kPublishUser,             //
  kPublishPassword,         //
  kPublishTls,              //
  kPublishCaFile,           //
  kPublishBrowse,           //
  kPublishCaFilter,         // file types of the CA file dialogue
  kPublishFieldRefused,     // %1 the field's name
  kPublishReached,          // %1 the broker (host:port)
  kPublishNotReached,       // %1 the broker (host:port), %2 the reason
  kPublishOff,              //
  kPublishSaveError,        // %1 file, %2 the system's reason
  kPublishFileProblems,     // %1 file, %2 what was ignored, one a line
  // The link (link/, session/).
  kProfileSettingsResent,   // %1 profile number: its settings sent to the meter as a link came up
  kNotProfileFile,          // %1 file, %2 why
  kHeaderNotZero,           // the unused bytes of a profile file's header
  kHeaderCountOutOfRange,   // %1 the count, %2 the largest count
  kNoProfileAsWritten,      // %1 what is wrong with profile 1
  kFieldBadCharacters,      // %1 field
  kFieldNotTolerance,       // %1 field, %2 its text
  kFieldOutOfRange,         // %1 field, %2 its value
  kFieldPrimaryKind,        // more names of the record's fields
  kFieldPrimaryUnit,        //
  kFieldSecondaryKind,      //
  kFieldSecondaryUnit,      //
  kFieldSettings,           // %1 the byte of the meter settings (1-18)
  kWriteOverQuestion,       // %1 the position about to be written, %2 the last position written
  kWriteOverReplace,        // the question's buttons: write over the written rows,
  kWriteOverGoOn,           //   go on at %1 (after the last row written),
  kWriteOverCancel,         //   cancel the recording
  kJournalProfileLost,      // %1 profile number, %2 file (added to kJournalRestored)
  kExportStoppedRecording,  // the memo: the export ended the recording
  kValuesPrimary,           // headings of the workbook's "Values" sheet: the primary quantity's letter,
  kValuesPrimaryValue,      // its value (SI units),
  kValuesPrimaryUnit,       // its unit;
  kValuesSecondary,         // the same for the secondary quantity
  kValuesSecondaryValue,    //
  kValuesSecondaryUnit,     //
  kValuesFrequency,         // the test frequency in Hz
  kValuesLevel,             // the test level in V
  kCaptureStart,            // the memo's context menu: start a capture of the link
  kCaptureStop,             // ... and stop it
  kCaptureFilter,           // file types of the capture's save dialogue
  kCaptureStarted,          // %1 file
  kCaptureStopped,          // %1 file, %2 records written
  kCaptureFailed,           // %1 file, %2 the reason
  kCaptureOpenError,        // %1 file, %2 the system's reason
  kArchiveTitle,            // the archive dialogue ("Архив" button): its title
  kArchiveEmpty,
  kArchiveSingle,      // %1 when the log began, %2 its rows
  kArchiveMulti,       // %1 when the table began, %2 its rows
  kArchiveSkipped,     // added to the line above; %1 the count
  kArchiveUnreadable,  // %1 file, %2 the system's reason
  kArchiveNotJournal,  // %1 file
  kArchiveExport,      // its buttons
  kArchiveClose,
  kPublishFieldReason,  // the publishing dialogue's refusal: %1 the field, %2 the reason below
  kBrokerFieldEmpty,
  kBrokerFieldSpace,
  kBrokerFieldUrl,
  kBrokerFieldCharacter,  // %1 the character
  kBrokerFieldTooLong,
  kBrokerFieldControl,
  kBrokerFieldPort,
  kBrokerFieldEmptyLevel,
  kBrokerFieldWildcard,
  kBrokerFieldDollar,
  kBrokerFieldNoUser,
  kBrokerFieldNoFile,
  kMqttRefused,  // the MQTT memo lines' reasons (D4 item 60's %2)
  kMqttLost,
  kMqttUnknownHost,
  kMqttTls,
  kMqttNoAnswer,
  kMqttNotAuthorised,
  kCount
};
}  // namespace msg

// Items of D5. The statistics' names (kCount to kCpk) are in the order of
// the statistics table's rows.
namespace chart {
enum : int {
  kWindowTitle = 0,    // the chart window's title
  kTrend,              // the trend chart's title
  kHistogram,          // the histogram's title
  kStatistics,         // the statistics table's title
  kAxisPosition,       // the trend's horizontal axis: the log position
  kAxisTime,           // the trend's horizontal axis: the time
  kByTime,             // check box: time instead of position along the axis
  kShowSecondary,      // check box: the secondary value on a second axis
  kFollow,             // button: back to the newest rows
  kSaveImage,          // button: save the charts as a picture
  kImageFilter,        // file type of the picture's save dialogue
  kImageFailed,        // %1 the file
  kLog,                // the single-part log's column of the statistics
  kAllProfiles,        // the multi-part table's column of all profiles
  kCount,              // rows
  kPassed,             //
  kRejectedPrimary,    //
  kRejectedSecondary,  //
  kUnevaluable,        // rows whose reference could not be evaluated
  kYield,              // percent
  kValues,             // values in the moments
  kUnit,               //
  kMean,               //
  kSd,                 //
  kMin,                //
  kMax,                //
  kLower,              // the tolerance band's limits
  kUpper,              //
  kCp,                 //
  kCpk,                //
  kBand,               // legend: the tolerance band
  kNominal,            // legend: the nominal value
  kRejected,           // legend: rejected rows
  kItems
};
}  // namespace chart

// D4 of the language in use, for code that has no window to ask (the file
// readers and writers). The language engine publishes it at every switch;
// until then it holds the design texts. Read on the UI thread only: work on
// another thread takes a copy with it.
const Lexicon& ProgramMessages();
void PublishProgramMessages(const Lexicon& messages);

// "Ом" in the design language, otherwise the Greek capital omega.
QString OhmSign(const Lexicons& lex);
// "мк" in the design language, otherwise the Greek small mu.
QString MicroSign(const Lexicons& lex);

}  // namespace zt
