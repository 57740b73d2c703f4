#pragma once
// Texts the pipeline writes into lists, status lines and the status bar.
namespace plotdesk::pipeline_text {

inline constexpr const char* kMarkerFile = "QKTCC.TXT";

inline constexpr const char* kIsDisposing = " is Disposing ... ...";
inline constexpr const char* kIsPrinting = " is printing ... ...";
inline constexpr const char* kFileMissing = "File don't exist.";
inline constexpr const char* kConversionFail = "File Conversion Fail.";
inline constexpr const char* kDisposeFail = "File Dispose fail.";
inline constexpr const char* kSavedDisposedOk = "Saved Disposed-File Success";
inline constexpr const char* kSavedDisposedFail = "Saved Disposed-File Fail";
inline constexpr const char* kBackupOk = "Backup File Success";
inline constexpr const char* kBackupFail = "Backup File Fail";
inline constexpr const char* kPrintFileMissing = "Print File isn't Exist!";
inline constexpr const char* kCancelByUser = "Transfer Cancel By User.";
inline constexpr const char* kRecordBackupOk = "Backup File Successed";
inline constexpr const char* kRecordDeleteOk = "Delete File Successed";
inline constexpr const char* kRecordDeleteFail = "Delete File Fail";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kFail = "Fail";
inline constexpr const char* kPrintedFiles = "Printed Files: %d";
inline constexpr const char* kWatcherFiles = "Watcher Files: %d";
inline constexpr const char* kWatcherDirFail = "Watcher Dir Fail!";
inline constexpr const char* kWatchStarted = "Directory Watch Started.";
inline constexpr const char* kWatchFailed = "Directory Watch failed.";
inline constexpr const char* kWatchStopped = "Directory Watch Stopped.";
inline constexpr const char* kIsDeleting = " is Deleting ... ...";
inline constexpr const char* kIsDeleted = " is Deleted.";
inline constexpr const char* kDeleteFail = " is Delete Fail.";

// Link messages that pause the print queue.
inline constexpr const char* kControllerConnectFail = "Controller_Connect_Fail";
inline constexpr const char* kSerialOpenFail = "Serial_Open_Fail";
inline constexpr const char* kParallelOpenFail = "Parallel_Open_Fail";

// String table ids of the message boxes.
inline constexpr int kDisposeThreadFailId = 128;
inline constexpr int kPrintThreadFailId = 129;
inline constexpr int kPromptCaptionId = 174;

}  // namespace plotdesk::pipeline_text
