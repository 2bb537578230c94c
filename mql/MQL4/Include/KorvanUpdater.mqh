//+------------------------------------------------------------------+
//| KorvanUpdater.mqh: the Korvan updater for MetaTrader 4 programs. |
//|                                                                  |
//| Copy Korvan.Tools.Updater.dll and KorvanUpdater.exe (the 32-bit  |
//| builds) into <data folder>\MQL4\Libraries and allow DLL imports. |
//| To have manifests checked against your minisign key, write       |
//|   #define KORVAN_PUBLIC_KEY "RW..."                              |
//| (the second line of your .pub file) before including this file.  |
//+------------------------------------------------------------------+

#import "Korvan.Tools.Updater.dll"
// Checks `url` + "/updateinfo.txt" for newer versions of the files listed
// in `files` (see KorvanFilesJson) below the folder of `waitApp`, and asks
// the user. KORVAN_CHECK_CONFIRMED, KORVAN_CHECK_CANCELLED or
// KORVAN_CHECK_NOTHING.
int XCheckForUpdates(string url, string waitApp, string files);
// Runs the companion KorvanUpdater.exe, which downloads and swaps the newer
// files, and waits for it: the number of files updated, or a KORVAN_UPDATE_
// or KORVAN_LAUNCH_ code. `files` must come with its quotes escaped, as
// KorvanFilesJson writes it.
int XLaunchUpdater(string url, string waitApp, string files);
// XUpdaterProcess is not declared: only the companion program calls it, in
// its own process, with narrow strings the terminal does not have.
// Six critical sections (0-5) and ten integer flags (0-9) shared by every
// program of this terminal; section 5 also guards the flags.
int extEnterCS(int section);
int extTryEnterCS(int section);
int extLeaveCS(int section);
void extSetFlag(int flag, int value);
int extGetFlag(int flag);
// The library's version text: the address of a narrow text (see
// KorvanLibraryVersion).
int extGetVersion();
#import

#import "kernel32.dll"
int lstrlenA(int text);
int lstrcpyA(uchar &destination[], int source);
#import

// Results of XCheckForUpdates.
#define KORVAN_CHECK_CONFIRMED 1   // newer files found, the user chose OK
#define KORVAN_CHECK_NOTHING 0     // nothing newer, or the check failed (a box said why)
#define KORVAN_CHECK_CANCELLED -1  // newer files found, the user chose Cancel
// Results of XLaunchUpdater besides the number of files updated (1 or more).
#define KORVAN_UPDATE_NOTHING 0              // the companion found nothing to update
#define KORVAN_LAUNCH_NOT_STARTED -1         // the companion could not be started
#define KORVAN_UPDATE_FAILED_EXCEPTION -2    // the update stopped on an error; see the log
#define KORVAN_UPDATE_FAILED -3              // no file could be updated; see the log
#define KORVAN_COMPANION_BAD_COMMAND_LINE -10
#define KORVAN_COMPANION_LIBRARY_MISSING -11  // no usable library beside KorvanUpdater.exe

// Without a key of the vendor's, manifests are not checked for a signature.
#ifndef KORVAN_PUBLIC_KEY
#define KORVAN_PUBLIC_KEY ""
#endif

// The library's version text, for example "1.1.2".
string KorvanLibraryVersion()
  {
   int text = extGetVersion();
   if(text == 0)
      return "";
   uchar bytes[];
   ArrayResize(bytes, lstrlenA(text) + 1);
   lstrcpyA(bytes, text);
   return CharArrayToString(bytes);
  }

// The path whose folder holds the files: the terminal's data folder.
string KorvanWaitApp()
  {
   return TerminalInfoString(TERMINAL_DATA_PATH) + "\\terminal.exe";
  }

// The `files` argument for both update calls, its quotes escaped. names[i]
// is a file's path below the data folder ("/MQL4/Experts/My.ex4"; a
// backslash is written as "/"); versions[i] its installed version "V.R.B"
// ("" when the file itself tells it, as a library with a version function
// does). With a public key the list carries it as "PublicKey".
string KorvanFilesJson(const string &names[], const string &versions[],
                       const string publicKey = KORVAN_PUBLIC_KEY)
  {
   string json = "{";
   if(publicKey != "")
      json += "\"PublicKey\":\"" + publicKey + "\",";
   json += "\"Files\":[";
   for(int i = 0; i < ArraySize(names); i++)
     {
      string name = names[i];
      StringReplace(name, "\\", "/");
      StringReplace(name, "\"", "");
      string parts[];
      int count = 0;
      if(i < ArraySize(versions))
         count = StringSplit(versions[i], '.', parts);
      if(i > 0)
         json += ",";
      json += "{\"name\":\"" + name + "\"";
      if(count == 3)
         json += ",\"version\":" + parts[0] + ",\"release\":" + parts[1] + ",\"build\":" + parts[2];
      json += "}";
     }
   json += "]}";
   StringReplace(json, "\"", "\\\"");
   return json;
  }

// A line for the log or an alert about a result of XLaunchUpdater.
string KorvanUpdateResultText(const int result)
  {
   if(result >= 1)
      return IntegerToString(result) + " files updated; restart the terminal to use them";
   switch(result)
     {
      case KORVAN_UPDATE_NOTHING:
         return "nothing to update";
      case KORVAN_LAUNCH_NOT_STARTED:
         return "the updater could not be started";
      case KORVAN_UPDATE_FAILED_EXCEPTION:
      case KORVAN_UPDATE_FAILED:
         return "the update failed; see KorvanUpdaterLog.log in the data folder";
      case KORVAN_COMPANION_BAD_COMMAND_LINE:
         return "the updater was started with a malformed command line";
      case KORVAN_COMPANION_LIBRARY_MISSING:
         return "Korvan.Tools.Updater.dll is missing beside KorvanUpdater.exe";
     }
   return "the updater ended with code " + IntegerToString(result);
  }
//+------------------------------------------------------------------+
