#pragma once

// Result codes of the mail control besides the server's own reply codes and the
// socket-style codes of connection failures.
namespace MailCode {
inline constexpr int Success = 0;
inline constexpr int ConnectedInfo = 20000;      // counted as success by the form
inline constexpr int ConnectedInfoAlt = 20001;   // counted as success by the form
inline constexpr int LoginRefused = 20012;       // the server refused the user name or password
inline constexpr int LoginNotOffered = 20013;    // a login was asked for, the server offers none
inline constexpr int PasswordNeedsTls = 20014;   // the password would travel unencrypted
inline constexpr int NotConnected = 20015;       // a send without a connection to the outgoing server
inline constexpr int BadMessage = 20016;         // the message cannot be written (no sender, no recipient)
inline constexpr int BadAction = 20017;          // an action out of order, or an unknown one
inline constexpr int FileUnreadable = 20018;     // the attachment file cannot be read
inline constexpr int Cancelled = 20019;          // the control was closed during the operation
inline constexpr int TokenNeedsTls = 20020;      // a sign-in token would travel unencrypted
inline constexpr int TokenRefused = 20021;       // the server refused the sign-in token
inline constexpr int NeedsSmtpUtf8 = 20022;      // an address is not ASCII before the @, the server offers no SMTPUTF8
inline constexpr int HostNotFound = 11001;
inline constexpr int ConnectionRefused = 10061;
inline constexpr int TimedOut = 10060;
inline constexpr int ConnectionReset = 10054;
inline constexpr int NetworkUnreachable = 10051;
inline constexpr int HostUnreachable = 10065;
}  // namespace MailCode
