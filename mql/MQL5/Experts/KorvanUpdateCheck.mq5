//+------------------------------------------------------------------+
//| KorvanUpdateCheck.mq5: checks for updates of this product once,  |
//| a few seconds after it is first loaded, lets the updater install |
//| them on the user's OK, and reports the outcome. Allow DLL        |
//| imports for it.                                                  |
//+------------------------------------------------------------------+
#include <KorvanUpdater.mqh>

// The version of this build: the one the updater compares with the server's.
#define PRODUCT_VERSION "1.0.0"
// Your minisign public key (the second line of your .pub file), to accept
// signed releases only; "" for unsigned ones.
#define PRODUCT_PUBLIC_KEY ""

input string UpdateUrl = "https://updates.example.com/acme-tools";

// OnInit runs again, with the expert still loaded and this variable kept,
// after a change of the chart's symbol or timeframe, of the inputs or of the
// account: none of them is a reason to check again. Where the expert is
// loaded afresh (a template, another chart), KorvanUpdate knows that this
// terminal session has checked already.
bool g_updateChecked = false;

int OnInit()
  {
   // Not from OnInit itself: the boxes and the download would block the
   // chart's start. A one-shot timer checks once the chart runs.
   if(!g_updateChecked)
      EventSetTimer(5);
   return INIT_SUCCEEDED;
  }

void OnDeinit(const int reason)
  {
   EventKillTimer();
  }

void OnTimer()
  {
   EventKillTimer();
   // The product's files below the data folder, with the versions installed.
   // A library with a version function tells its own: leave its version "".
   string names[] = {"/MQL5/Experts/KorvanUpdateCheck.ex5", "/MQL5/Libraries/Acme.Tools.dll"};
   string versions[] = {PRODUCT_VERSION, ""};
   int result = KorvanUpdate(UpdateUrl, names, versions, PRODUCT_PUBLIC_KEY);
   if(result == KORVAN_SKIPPED_BUSY)
     {
      // Another program of this terminal is updating: ask again later.
      EventSetTimer(60);
      return;
     }
   g_updateChecked = true;
   if(result >= 1)
      Alert("Acme tools were updated. Restart the terminal to use the new version.");
  }

void OnTick()
  {
  }
//+------------------------------------------------------------------+
