#pragma once
// The meter link: how the logger reaches the meter and where the connection
// stands. Owns the serial port, the port lookup, the Bluetooth LE component,
// the start-up modem check and the timers that follow the connection. No
// widgets: a view renders what this object reports (the connect button, the
// status lines) and calls its slots; the meter's state and the recorder see it
// as a MeterChannel.
//
// Which transport is tried: a connect attempt (the button, or the poll while
// automatic connection is on) always asks for a serial device first. When one
// is present the dongle is told "AT+CONNL" and Bluetooth LE is not used again
// until the program restarts. Only while no serial device has been found is a
// Bluetooth LE scan started.
//
// Every frame that gets through, from either transport, leaves through
// frameReceived(); while the input is held (a settings change on its way to
// the meter) frames are dropped here, in one place.
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <memory>

#include "ble_link.h"
#include "frame.h"
#include "meter_channel.h"
#include "port_lookup.h"

namespace zt {

class ComPort;
class DongleTexts;
class ModemProbe;

// Where the connection stands.
enum class LinkState {
  NoDevice,    // no serial port open and no attempt under way
  Idle,        // a serial device is open; no link, no attempt
  Connecting,  // an attempt is under way ("AT+CONNL" sent, or a scan/connection)
  Up,          // a link to the meter is up
};

// What carries the state above: the serial device, Bluetooth LE, or nothing.
enum class LinkTransport { None, Serial, Ble };

// What the connect button reads. Blank while a press waits for its outcome.
enum class ConnectCaption { Connect, Disconnect, Blank };

// Status lines for the memo. The view picks the text from the connection
// lexicon of the language in use (item numbers in link/README.md).
enum class LinkEvent {
  Connecting,      // the dongle is connecting ("OK+CONNL")
  ConnectFailed,   // "OK+CONNE", "OK+CONNF" or both: no line of its own
  NoConnection,    // "OK+CONNN": "NN " and the no-connection item
  Connected,       // a link came up
  Disconnected,    // the link went down, or the serial port closed
  ScanError,       // the Bluetooth LE adapter refused to scan
  Ok,              // the dongle answered "OK": the line reads "OK"
  ConnectTimeout,  // an attempt got no answer within the bounded wait
};

// Timer intervals. The defaults are the program's; tests shorten them.
struct LinkTimings {
  int t2Ms = 2000;  // T2: the connect button comes back after a link change
  int t3Ms = 2500;  // T3: the connection poll
  int t4Ms = 1000;  // T4: from link-up to settled()
  int txMs = 50;    // Timer_TX: a command's hold on incoming frames
  int bleScanMs = kBleDiscoveryTimeoutMs;
  // How long a serial connect attempt (or a disconnect request) may go
  // unanswered. A dongle answers "AT+CONNL" within milliseconds and reports
  // the outcome of its radio attempt within a second or two; 5 s is well past
  // both, yet short enough that nobody wonders whether the program hangs.
  int connectWaitMs = 5000;
};

// What the link is built with. Tests pass fakes and short timings; the
// program passes nothing.
struct MeterLinkDeps {
  // Null: the system's serial ports plus the virtual-ports folder.
  PortLookup* portLookup = nullptr;
  // Null: the platform's Bluetooth LE stack (QtBle), owned by the link.
  Ble* ble = nullptr;
  LinkTimings timings;
};

class MeterLink : public QObject, public MeterChannel {
  Q_OBJECT

 public:
  explicit MeterLink(MeterLinkDeps deps = {}, QObject* parent = nullptr);
  // Closes quietly: says "AT" to a dongle still present, emits nothing.
  ~MeterLink() override;

  LinkState state() const { return now_.state; }
  LinkTransport transport() const { return now_.transport; }
  ConnectCaption connectCaption() const { return CaptionOf(now_); }
  bool connectEnabled() const { return connectEnabled_; }
  bool autoConnect() const { return autoConnect_; }
  // Bluetooth LE may still be used (no serial device has carried an attempt
  // and the adapter has not failed).
  bool bleInUse() const { return useBle_; }
  bool scanning() const { return now_.scan == BleScan::Scanning; }
  // The last port query found a serial device: commands go to the port.
  bool serialDeviceFound() const { return portQuery_.found == 1; }
  bool portOpen() const;
  QString portName() const;
  // The Bluetooth LE meter's address (a platform id where there is none),
  // once a scan has found it.
  QString bleMeterId() const { return bleMeter_.id; }
  bool probing() const;
  bool polling() const { return t3_.isActive(); }
  const LinkTimings& timings() const { return timings_; }
  // Both transports report every burst and write to `tap` (a capture of the
  // exchange); null ends that.
  void setTap(LinkTap* tap);

  // MeterChannel.
  bool linkUp() const override { return now_.state == LinkState::Up; }
  bool inputHeld() const override { return settingsBusy_; }
  void holdInput() override { settingsBusy_ = true; }
  void releaseInput() override { settingsBusy_ = false; }
  // TransmitCommand: byte 4 := 0x0A; starts Timer_TX unless it runs. Serial
  // while the last port query found a device (6 bytes), else the meter's
  // Bluetooth LE characteristic (8 bytes). False when nothing took it.
  bool transmit(const CommandFrame& frame) override;

 public slots:
  // The program starts: the Bluetooth LE component is switched on and the
  // connection poll runs from now on.
  void start();
  // The window is first shown: is a dongle there, and does it answer "AT"?
  void startupProbe();
  // The connect button (B2). Decided from the state: connects when no link is
  // up, disconnects when one is; a press while the previous one waits for its
  // outcome does nothing.
  void connectOrDisconnect();
  // The "Авто" box: with it on the poll connects by itself and the button
  // stays disabled.
  void setAutoConnect(bool on);
  // The language was switched: the dongle drops its radio link ("AT") and the
  // poll runs again.
  void languageChanged();
  // The program closes: timers stop, Bluetooth LE is switched off while it is
  // in use, and the port is closed, which tells a dongle still present to
  // drop its link. Nothing runs on afterwards.
  void shutdown();

 signals:
  void stateChanged(zt::LinkState state, zt::LinkTransport transport);
  void connectEnabledChanged(bool enabled);
  void connectCaptionChanged(zt::ConnectCaption caption);
  void autoConnectChanged(bool on);
  void linkEvent(zt::LinkEvent event);
  // One accepted 18-byte frame from either transport.
  void frameReceived(const zt::Frame& frame);
  // OnLinkUp: a link came up (the record button is allowed, profile editing
  // ends, the profile buttons are locked).
  void linkCameUp();
  // OnLinkDown: the link went down (memo and language picker back, profile
  // editing on, readings cleared).
  void linkWentDown();
  // The link flag dropped without the full link-down handling (a dongle
  // answer other than success, the port closing) or with it: the record
  // button goes off.
  void linkCleared();
  // T4 fired, a second after the link came up: the input is held; the
  // meter's state sends the wake-up command and the view hides the language
  // picker.
  void settled();
  // The serial port is closing while its device is still there (the lighter
  // link-down): the readings are cleared, nothing else of OnLinkDown.
  void portClosing();
  // Discovery opened the port of a serial device.
  void portOpened();
  // An error of the serial port (open, read, write, ...): no message, the
  // failed operation simply had no effect.
  void portError(QSerialPort::SerialPortError kind, const QString& message);
  // The start-up check found a device that does not answer "AT" with "OK".
  void probeFailed(const QString& portName);
  // A serial device is there but this user may not open its port: once per
  // port until it has opened in between, with the group that owns it.
  void portAccessDenied(const QString& portName, const QString& group);

 private:
  // A press of the button waiting for its outcome.
  enum class Press { None, Connect, Disconnect };
  // The Bluetooth LE discovery: none, a scan under way, or a scan that found
  // the meter (its connection under way or up).
  enum class BleScan { None, Scanning, MeterFound };
  // The link's whole condition. Everything else a view sees is derived from
  // it: linkUp(), the caption, whether Bluetooth LE carries the link.
  struct Condition {
    LinkState state = LinkState::NoDevice;
    LinkTransport transport = LinkTransport::None;
    Press press = Press::None;
    BleScan scan = BleScan::None;
  };
  static ConnectCaption CaptionOf(const Condition& c);
  // Where the serial port stands as far as discovery is concerned.
  enum class PortPhase {
    Undiscovered,  // not opened by discovery since the last close (PortOpened 0)
    Discovered,    // opened by discovery, not closed since (PortOpened 1)
    Closing,       // inside the port's before-close handling
  };
  // How an attempt (or a link) that is over leaves the poll.
  enum class Poll {
    Resume,   // runs on, or starts if it was stopped
    Restart,  // starts afresh
  };
  // What the start-up check held back while it ran.
  enum AfterProbe : unsigned { kPollAfterProbe = 1, kPressAfterProbe = 2 };

  // Serial link.
  bool DiscoverSerialPort();
  void ComPortRxChar(const QByteArray& burst);
  void ComPortAfterOpen();
  void ComPortBeforeClose();
  void ComPortException(QSerialPort::SerialPortError kind, const QString& message);
  void ComPortDeviceGone();
  void StartupProbeDone(bool answered);
  void SendConnectRequest();  // "AT+CONNL"
  void DongleAnswered(bool noConnection);
  // Link manager.
  void OnLinkUp(LinkTransport via);
  void OnLinkDown();
  void T2Timer();
  void T3Timer();
  void T4Timer();
  void Timer_TXTimer();
  void ConnectWaitTimer();
  // Bluetooth LE link.
  BleRequest RequestBleDiscovery();
  void DiscoveryRequestFailed(BleRequest answer, bool fromPoll);
  void BLEDiscoverLEDevice(const BleDevice& device);
  void BLEEndDiscoverDevices();
  void BLEConnect();
  void BLEConnectFailed();
  void BLEDisconnect();
  void BLEServicesDiscovered(const QList<QBluetoothUuid>& services);
  void BLECharacteristicRead(const QByteArray& value);

  // State keeping: every change of the condition goes through change(),
  // which tells the state and the caption when they differ.
  void change(Condition next);
  void setPress(Press press);
  void setScan(BleScan scan);
  // No link: Idle over an open port, else NoDevice (the press as it is).
  Condition idleCondition() const;
  // The attempt, or the link, is over: no press waits, the bounded wait
  // stops, the state settles; the button pauses for T2 (when asked) and the
  // poll goes on.
  void attemptOver(bool pauseButton, Poll poll);
  void setConnectEnabled(bool on);
  // The button comes back at T2 (manual mode) and the press is over.
  void giveButtonBack();
  bool bleLinkUp() const { return now_.state == LinkState::Up && now_.transport == LinkTransport::Ble; }
  void deliverFrame(const QByteArray& bytes);

  LinkTimings timings_;
  PortLookup* portLookup_ = nullptr;
  std::unique_ptr<PortLookup> ownPortLookup_;
  Ble* ble_ = nullptr;
  ComPort* comPort_ = nullptr;
  DongleTexts* texts_ = nullptr;  // every text to the dongle, each on its own
  ModemProbe* probe_ = nullptr;
  QTimer t2_, t3_, t4_, tx_, connectWait_;

  Condition now_;
  bool connectEnabled_ = false;  // the button (T2 holds it back after a change)
  bool autoConnect_ = false;     // the "Авто" box
  bool settingsBusy_ = false;    // SettingsBusy: incoming frames dropped
  bool useBle_ = true;           // Bluetooth LE not given up yet (UseBle)
  bool shutDown_ = false;        // closed: nothing runs on

  PortQuery portQuery_;  // the last port query; its Found says where commands go
  PortPhase portPhase_ = PortPhase::Undiscovered;
  BleDevice bleMeter_;  // kept after a disconnect
  // The start-up check runs to its end before a poll tick or a press is
  // handled, as if it held the thread.
  unsigned afterProbe_ = 0;
};

}  // namespace zt

Q_DECLARE_METATYPE(zt::LinkState)
Q_DECLARE_METATYPE(zt::LinkTransport)
Q_DECLARE_METATYPE(zt::ConnectCaption)
Q_DECLARE_METATYPE(zt::LinkEvent)
