//+------------------------------------------------------------------+
//| KorvanUpdateCheck.mq5: checks for updates of this product when   |
//| it starts, lets the updater install them on the user's OK, and   |
//| reports the outcome. Allow DLL imports for it.                   |
//+------------------------------------------------------------------+
// #define KORVAN_PUBLIC_KEY "RW..."   // your minisign public key, to accept signed releases only
#include <KorvanUpdater.mqh>

input string UpdateUrl = "https://updates.example.com/acme-tools";

int OnInit()
  {
   Print("Korvan updater library ", KorvanLibraryVersion());
   // The product's files below the data folder, with the versions installed.
   // A library with a version function tells its own: leave its version "".
   string names[] = {"/MQL5/Experts/KorvanUpdateCheck.ex5", "/MQL5/Libraries/Acme.Tools.dll"};
   string versions[] = {"1.0.0", ""};
   string files = KorvanFilesJson(names, versions);
   string waitApp = KorvanWaitApp();

   // Blocks this chart while the box is open and while files download.
   int check = XCheckForUpdates(UpdateUrl, waitApp, files);
   if(check == KORVAN_CHECK_CONFIRMED)
     {
      int result = XLaunchUpdater(UpdateUrl, waitApp, files);
      Print("Update: ", KorvanUpdateResultText(result));
      if(result >= 1)
         Alert("Acme tools were updated. Restart the terminal to use the new version.");
     }
   else if(check == KORVAN_CHECK_CANCELLED)
      Print("Update: postponed by the user");
   else
      Print("Update: nothing newer (or the server could not be reached; see KorvanUpdaterLog.log)");
   return INIT_SUCCEEDED;
  }

void OnTick()
  {
  }
//+------------------------------------------------------------------+
