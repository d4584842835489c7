#pragma once

// Every numeric id of Orvanto lives here once: commands, controls, dialogs, art and
// timers. Commands travel as these numbers from actions to OnCommand handlers.

namespace Ids {

// Resource sets
constexpr int MainFrame = 128;  // main menu, toolbar, accelerators, icon
constexpr int AboutBox = 100;
constexpr int MessageForm = 101;
constexpr int LogDialog = 130;
constexpr int TestEmailDialog = 132;
constexpr int OutboxPathDialog = 134;
constexpr int SettingsDialog = 135;
constexpr int SplashBox = 161;
constexpr int TrayMenu = 175;
constexpr int TrayIcon = 176;
constexpr int LogoBitmap = 177;
constexpr int RecordedMessagesDialog = 181;
constexpr int HistoryDialog = 182;
constexpr int PasswordDialog = 183;
constexpr int AboutAccelerators = 185;

// Bitmaps of the form's four-state buttons: up, down, focus, disabled
constexpr int RecBitmaps[4] = {138, 140, 170, 139};
constexpr int PlayBitmaps[4] = {141, 142, 169, 143};
constexpr int StopBitmaps[4] = {144, 145, 171, 146};
constexpr int AttachBitmaps[4] = {147, 148, 167, 149};
constexpr int BrowseBitmaps[4] = {158, 159, 168, 160};
constexpr int FieldLabelsBitmap = 156;
constexpr int PhoneLabelBitmap = 164;

// Commands of menus, toolbar, accelerators and the hidden commands
constexpr int CmdNew = 57600;
constexpr int CmdAttachment = 32788;
constexpr int CmdSend = 32783;
constexpr int CmdExit = 57665;
constexpr int CmdUndo = 57643;
constexpr int CmdCut = 57635;
constexpr int CmdCopy = 57634;
constexpr int CmdPaste = 57637;
constexpr int CmdSelectAll = 57642;
constexpr int CmdSettings = 32789;
constexpr int CmdToolbar = 59392;
constexpr int CmdStatusBar = 59393;
constexpr int CmdClearLog = 32782;
constexpr int CmdTraceInfo = 32807;
constexpr int CmdSentMessages = 32812;
constexpr int CmdHistory = 32811;
constexpr int CmdAddressBook = 32809;
constexpr int CmdHide = 32800;
constexpr int CmdOnlineHelp = 32795;
constexpr int CmdTechSupport = 32805;
constexpr int CmdUpdates = 32806;
constexpr int CmdAbout = 57664;
constexpr int CmdToggleLog = 32771;
constexpr int CmdConnect = 32774;
constexpr int CmdDisconnect = 32775;
constexpr int CmdTestMail = 32779;
constexpr int CmdSaveSettings = 32773;
constexpr int CmdOutboxPath = 32781;
constexpr int CmdRestore = 32798;
constexpr int CmdTrayTitle = 32801;
constexpr int CmdNextPane = 57680;
constexpr int CmdPrevPane = 57681;
constexpr int CmdCompressionType = 1015;
constexpr int CmdSourceFormat = 1016;

// Controls of the message form (template 101)
constexpr int MailControl = 1001;
constexpr int BrowseButton = 1020;
constexpr int SubjectEdit = 1021;
constexpr int BodyEdit = 1022;
constexpr int RecButton = 1033;
constexpr int PlayButton = 1034;
constexpr int StopButton = 1035;
constexpr int AttachButton = 1036;
constexpr int AttachmentsEdit = 1037;
constexpr int PhoneEdit = 1038;
constexpr int RecipientCombo = 1039;
constexpr int CcEdit = 1043;
constexpr int ProfileCombo = 1053;

// Log dialog and status bar
constexpr int LogEdit = 1000;
constexpr int StatusPaneIndicator = 1050;

// Settings dialog (template 135)
constexpr int SettingsTestButton = 3;
constexpr int SettingsIncomingEdit = 1006;
constexpr int SettingsUserEdit = 1007;
constexpr int SettingsPasswordEdit = 1008;
constexpr int SettingsProtocolCombo = 1009;
constexpr int SettingsOutgoingEdit = 1010;
constexpr int SettingsAutoConnectCheck = 1011;
constexpr int SettingsReplyEdit = 1012;
constexpr int SettingsOutputCombo = 1028;
constexpr int SettingsInputCombo = 1030;
constexpr int SettingsProfileCombo = 1049;
constexpr int SettingsNewButton = 1050;
constexpr int SettingsDeleteButton = 1051;
constexpr int SettingsSaveButton = 1052;
constexpr int SettingsSavePassCheck = 1059;
constexpr int SettingsRequirePassCheck = 1060;

// Small dialogs
constexpr int TestEmailEdit = 1012;
constexpr int OutboxPathEdit = 1014;
constexpr int RecordsList = 1044;
constexpr int RecordsPlayButton = 1034;
constexpr int RecordsAttachButton = 1036;
constexpr int RecordsDeleteButton = 1047;
constexpr int HistoryList = 1055;
constexpr int HistoryClearButton = 1056;
constexpr int HistoryDeleteButton = 1047;

// Dialog results
constexpr int ResultOk = 1;
constexpr int ResultCancel = 2;
constexpr int ResultAttachFile = 1036;

// Timers of the message form
constexpr int TimerSendAfterConnect = 1;
constexpr int TimerRestoreDirectory = 2;
constexpr int TimerAutoConnect = 3;
constexpr int TimerStartupMessage = 100;
constexpr int TimerRecordingDisplay = 101;
constexpr int TimerPlaybackDisplay = 102;
constexpr int TimerProgressDisplay = 103;

}  // namespace Ids
