//+------------------------------------------------------------------+
//| KorvanUpdater.mqh: the Korvan updater for MetaTrader 5 programs. |
//|                                                                  |
//| Copy Korvan.Tools.Updater.dll and KorvanUpdater.exe (the 64-bit  |
//| builds) into <data folder>\MQL5\Libraries and allow DLL imports. |
//| Call KorvanUpdate from an expert's one-shot timer, a few seconds |
//| after its first load (see Experts\KorvanUpdateCheck), or from a  |
//| script.                                                          |
//|                                                                  |
//| Reserved: KorvanUpdate uses critical section 4 and flag 9 of the |
//| library's shared primitives (KORVAN_RESERVED_SECTION and         |
//| KORVAN_RESERVED_FLAG). Your programs use sections 0-3 and 5 and  |
//| flags 0-8; section 5 also guards the flags.                      |
//+------------------------------------------------------------------+

#import "Korvan.Tools.Updater.dll"
// Checks `url` + "/updateinfo.txt" for newer versions of the files listed
// in `files` (see KorvanFilesJson) below the folder of `waitApp`, and asks
// the user. KORVAN_CHECK_CONFIRMED, KORVAN_CHECK_CANCELLED or
// KORVAN_CHECK_NOTHING.
int XCheckForUpdates(string url, string waitApp, string files);
// Runs the companion KorvanUpdater.exe, which downloads and swaps the newer
// files, and waits for it: the number of files updated, or a KORVAN_UPDATE_,
// KORVAN_LAUNCH_ or KORVAN_COMPANION_ code. `files` must come with its
// quotes escaped, as KorvanFilesJson writes it.
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
long extGetVersion();
#import

#import "kernel32.dll"
int lstrlenA(long text);
long lstrcpyA(uchar &destination[], long source);
#import

// Results of XCheckForUpdates.
#define KORVAN_CHECK_CONFIRMED 1   // newer files found, the user chose OK
#define KORVAN_CHECK_NOTHING 0     // nothing newer, or the check failed (a box said why)
#define KORVAN_CHECK_CANCELLED -1  // newer files found, the user chose Cancel
// Results of XLaunchUpdater and KorvanUpdate besides the number of files
// updated (1 or more).
#define KORVAN_UPDATE_NOTHING 0              // the companion found nothing to update
#define KORVAN_LAUNCH_NOT_STARTED -1         // the companion could not be started
#define KORVAN_UPDATE_FAILED_EXCEPTION -2    // the update stopped on an error; see the log
#define KORVAN_UPDATE_FAILED -3              // no file could be updated; see the log
#define KORVAN_UPDATE_CANCELLED -4           // the user cancelled the update in its progress window
#define KORVAN_UPDATE_BUSY -5                // another update of this installation did not finish in time; nothing changed
#define KORVAN_COMPANION_BAD_COMMAND_LINE -10
#define KORVAN_COMPANION_LIBRARY_MISSING -11  // no usable library beside KorvanUpdater.exe
// Results of KorvanUpdate when it ran no update. It printed one line why.
#define KORVAN_UPDATE_DECLINED -20     // newer files found, the user chose Cancel
#define KORVAN_SKIPPED_DLLS_OFF -21    // DLL imports are not allowed for the program
#define KORVAN_SKIPPED_TESTER -22      // in the Strategy Tester, an optimisation or visual mode
#define KORVAN_SKIPPED_INDICATOR -23   // called from an indicator
#define KORVAN_SKIPPED_BUSY -24        // another program of this terminal is updating; try later
#define KORVAN_SKIPPED_CHECKED -25     // this terminal session already checked this address
#define KORVAN_SKIPPED_BAD_LIST -26    // the list of files is wrong, or too long for the updater

// The shared primitives KorvanUpdate uses: the section is held through a
// check and its update; the flag holds a mark of the address last checked.
#define KORVAN_RESERVED_SECTION 4
#define KORVAN_RESERVED_FLAG 9

// The longest command line the launcher gives the companion, in narrow
// characters.
#define KORVAN_COMMAND_LINE_LIMIT 4095

// Why an indicator must not call KorvanUpdate.
#define KORVAN_INDICATOR_REASON "the indicators of a symbol share one thread, which the boxes and the download would stop; call it from an expert or a script"

// Only for KorvanFilesJson's old callers: KorvanUpdate takes the key as an
// argument.
#ifndef KORVAN_PUBLIC_KEY
#define KORVAN_PUBLIC_KEY ""
#endif

// The library's version text, for example "1.1.2".
string KorvanLibraryVersion()
  {
   long text = extGetVersion();
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

// A line for the log or an alert about a result of XLaunchUpdater or
// KorvanUpdate.
string KorvanUpdateResultText(const int result)
  {
   if(result >= 1)
      return IntegerToString(result) + " files updated; restart the terminal to use them";
   switch(result)
     {
      case KORVAN_UPDATE_NOTHING:
         return "nothing to update (or the check failed; a box said why)";
      case KORVAN_LAUNCH_NOT_STARTED:
         return "the updater could not be started";
      case KORVAN_UPDATE_FAILED_EXCEPTION:
      case KORVAN_UPDATE_FAILED:
         return "the update failed; see KorvanUpdaterLog.log in the data folder";
      case KORVAN_UPDATE_CANCELLED:
         return "the user cancelled the update";
      case KORVAN_UPDATE_BUSY:
         return "another update of this installation did not finish in time; nothing was changed";
      case KORVAN_COMPANION_BAD_COMMAND_LINE:
         return "the updater was started with a malformed command line";
      case KORVAN_COMPANION_LIBRARY_MISSING:
         return "Korvan.Tools.Updater.dll is missing beside KorvanUpdater.exe";
      case KORVAN_UPDATE_DECLINED:
         return "the user chose not to update now";
      case KORVAN_SKIPPED_DLLS_OFF:
         return "not checked: DLL imports are not allowed";
      case KORVAN_SKIPPED_TESTER:
         return "not checked: the program runs in the Strategy Tester";
      case KORVAN_SKIPPED_INDICATOR:
         return "not checked: an indicator cannot run the updater";
      case KORVAN_SKIPPED_BUSY:
         return "not checked: another program of this terminal is updating";
      case KORVAN_SKIPPED_CHECKED:
         return "not checked: this terminal session has checked this address already";
      case KORVAN_SKIPPED_BAD_LIST:
         return "not checked: the list of files is wrong or too long; see the Experts log";
     }
   return "the updater ended with code " + IntegerToString(result);
  }

// Whether `text` is one part of a version: 1 to 9 decimal digits, so that it
// fits the library's 32-bit numbers.
bool KorvanIsVersionPart(const string text)
  {
   int length = StringLen(text);
   if(length < 1 || length > 9)
      return false;
   for(int i = 0; i < length; i++)
     {
      ushort c = StringGetCharacter(text, i);
      if(c < '0' || c > '9')
         return false;
     }
   return true;
  }

// Whether the library asks the file itself for its version: only a name
// ending in ".dll" (any letter case) is probed.
bool KorvanIsProbedName(const string name)
  {
   string lower = name;
   StringToLower(lower);
   int length = StringLen(lower);
   return length > 4 && StringSubstr(lower, length - 4) == ".dll";
  }

// Whether `key` has the form of a minisign public key: the 56 base64
// characters of the second line of its .pub file.
bool KorvanIsPublicKey(const string key)
  {
   if(StringLen(key) != 56)
      return false;
   for(int i = 0; i < 56; i++)
     {
      ushort c = StringGetCharacter(key, i);
      bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '+' || c == '/';
      if(!base64)
         return false;
     }
   return true;
  }

// The name as the list carries it: "/" between folders and at the start. ""
// when it cannot name a file: a file name holds no quote and no control
// character, and the updater's command line could not carry them either.
string KorvanListName(const string name)
  {
   string listed = name;
   StringReplace(listed, "\\", "/");
   if(StringLen(listed) == 0 || StringGetCharacter(listed, StringLen(listed) - 1) == '/')
      return "";
   for(int i = 0; i < StringLen(listed); i++)
     {
      ushort c = StringGetCharacter(listed, i);
      if(c < 32 || c == '\"')
         return "";
     }
   if(StringGetCharacter(listed, 0) != '/')
      listed = "/" + listed;
   return listed;
  }

// The `files` argument for both update calls, its quotes escaped. names[i]
// is a file's path below the data folder ("/MQL5/Experts/My.ex5"; a
// backslash is written as "/", a missing leading "/" added); versions[i] its
// installed version "V.R.B", three numbers ("" only for a library with a
// version function, which tells its own). With a public key the list carries
// it as "PublicKey". A wrong entry is printed and gives "": a version the
// library cannot read would make every check report nothing, or offer the
// same file on every check.
string KorvanFilesJson(const string &names[], const string &versions[],
                       const string publicKey = KORVAN_PUBLIC_KEY)
  {
   int count = ArraySize(names);
   if(count == 0 || ArraySize(versions) != count)
     {
      Print("KorvanFilesJson: ", count, " names and ", ArraySize(versions),
            " versions; give one version for each file, and at least one file");
      return "";
     }
   if(publicKey != "" && !KorvanIsPublicKey(publicKey))
     {
      Print("KorvanFilesJson: the public key \"", publicKey,
            "\" is not a minisign public key (the second line of its .pub file)");
      return "";
     }
   string json = "{";
   if(publicKey != "")
      json += "\"PublicKey\":\"" + publicKey + "\",";
   json += "\"Files\":[";
   for(int i = 0; i < count; i++)
     {
      string name = KorvanListName(names[i]);
      if(name == "")
        {
         Print("KorvanFilesJson: entry ", i, " \"", names[i],
               "\" is not a file's path below the data folder");
         return "";
        }
      if(i > 0)
         json += ",";
      json += "{\"name\":\"" + name + "\"";
      string parts[];
      int found = StringSplit(versions[i], '.', parts);
      if(found == 3 && KorvanIsVersionPart(parts[0]) && KorvanIsVersionPart(parts[1]) &&
         KorvanIsVersionPart(parts[2]))
         json += ",\"version\":" + IntegerToString(StringToInteger(parts[0])) +
                 ",\"release\":" + IntegerToString(StringToInteger(parts[1])) +
                 ",\"build\":" + IntegerToString(StringToInteger(parts[2]));
      else if(versions[i] != "" || !KorvanIsProbedName(name))
        {
         Print("KorvanFilesJson: entry ", i, " \"", names[i], "\" has the version \"",
               versions[i], "\"; write three numbers, as \"1.2.0\" (\"\" only for a library)");
         return "";
        }
      json += "}";
     }
   json += "]}";
   StringReplace(json, "\"", "\\\"");
   return json;
  }

// The length of `text` in the narrow characters of the library: one for an
// ASCII character, two for any other, as a double-byte code page may take.
int KorvanNarrowLength(const string text)
  {
   int length = StringLen(text);
   int narrow = length;
   for(int i = 0; i < length; i++)
      if(StringGetCharacter(text, i) > 127)
         narrow++;
   return narrow;
  }

// A mark of `url` for the reserved flag: never 0, which a fresh terminal
// session holds.
int KorvanAddressMark(const string url)
  {
   uint hash = 5381;
   for(int i = 0; i < StringLen(url); i++)
      hash = hash * 33 + StringGetCharacter(url, i);
   int mark = (int)(hash & 0x7FFFFFFF);
   return mark == 0 ? 1 : mark;
  }

// Checks `url` for newer versions of the listed files (see KorvanFilesJson),
// asks the user and lets the companion install them: the number of files
// updated, or a KORVAN_ result, with one printed line saying what happened.
// `publicKey` is the vendor's minisign public key, or "" for unsigned
// releases. It blocks the calling program while a box is open and while files
// download, so call it from a timer, never from OnInit. It asks once per
// terminal session and address: other charts and reloads of this program get
// KORVAN_SKIPPED_CHECKED.
int KorvanUpdate(const string url, const string &names[], const string &versions[],
                 const string publicKey)
  {
   string prefix = "Korvan updater: " + url + ": not checked: ";
   // Before any call into the library: with DLL imports off, the first call
   // would stop the program with a critical error.
   if(MQLInfoInteger(MQL_DLLS_ALLOWED) == 0)
     {
      Print(prefix, "DLL imports are not allowed for this program; allow them in its settings");
      return KORVAN_SKIPPED_DLLS_OFF;
     }
   if(MQLInfoInteger(MQL_TESTER) != 0 || MQLInfoInteger(MQL_OPTIMIZATION) != 0 ||
      MQLInfoInteger(MQL_VISUAL_MODE) != 0)
     {
      Print(prefix, "it runs in the Strategy Tester");
      return KORVAN_SKIPPED_TESTER;
     }
   if(MQLInfoInteger(MQL_PROGRAM_TYPE) == PROGRAM_INDICATOR)
     {
      Print(prefix, KORVAN_INDICATOR_REASON);
      return KORVAN_SKIPPED_INDICATOR;
     }
   string files = KorvanFilesJson(names, versions, publicKey);
   if(files == "")
     {
      Print(prefix, "the list of files is wrong (see the line above)");
      return KORVAN_SKIPPED_BAD_LIST;
     }
   string waitApp = KorvanWaitApp();
   // " -u \"url\" -a \"waitApp\" -f \"files\" -p \"id\"", the id up to 10 digits.
   int length = 34 + KorvanNarrowLength(url) + KorvanNarrowLength(waitApp) +
                KorvanNarrowLength(files);
   if(length > KORVAN_COMMAND_LINE_LIMIT)
     {
      Print(prefix, "the updater's command line would take ", length, " characters, over its ",
            KORVAN_COMMAND_LINE_LIMIT, "; list fewer files or shorter names");
      return KORVAN_SKIPPED_BAD_LIST;
     }
   if(extTryEnterCS(KORVAN_RESERVED_SECTION) == 0)
     {
      Print(prefix, "another program of this terminal is updating now; try again later");
      return KORVAN_SKIPPED_BUSY;
     }
   int mark = KorvanAddressMark(url);
   if(extGetFlag(KORVAN_RESERVED_FLAG) == mark)
     {
      extLeaveCS(KORVAN_RESERVED_SECTION);
      Print(prefix, "this terminal session has checked it already");
      return KORVAN_SKIPPED_CHECKED;
     }
   extSetFlag(KORVAN_RESERVED_FLAG, mark);
   int result = KORVAN_UPDATE_NOTHING;
   int check = XCheckForUpdates(url, waitApp, files);
   if(check == KORVAN_CHECK_CONFIRMED)
      result = XLaunchUpdater(url, waitApp, files);
   else if(check == KORVAN_CHECK_CANCELLED)
      result = KORVAN_UPDATE_DECLINED;
   extLeaveCS(KORVAN_RESERVED_SECTION);
   Print("Korvan updater: ", url, ": ", KorvanUpdateResultText(result));
   return result;
  }
//+------------------------------------------------------------------+
