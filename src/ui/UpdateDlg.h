// CUpdateDlg: the main update dialog, the hub that owns the serial port and every update's state.
#pragma once
#include <string>

#include "base/ProductNames.h"
#include "fw/Dialog.h"
#include "serial/SerialPort.h"
#include "ui/PortRange.h"
#include "ui/resource.h"
#include "update/UpdateSession.h"

// Private message bound to the update run.
#define WM_RUN_UPDATE 0x0465

class CUpdateDlg : public fw::Dialog {
public:
    explicit CUpdateDlg(fw::Dialog* parent = nullptr);
    ~CUpdateDlg() override;

    // Frame and handlers of the dialog itself.
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    HBRUSH OnCtlColor(HDC dc, int controlId, UINT kind);
    void OnDone();
    void OnDestroy();
    void OnContactInfo();
    void OnDetailedInstructions();

    // Firmware package.
    BOOL LoadFirmwarePackage();
    BOOL CheckFirmwareFile();

    // Port discovery and selection.
    void EnumerateSerialPorts();
    void EnablePortButtons();
    void OnRefreshSerialPorts();

    // Port loan from the companion test program.
    void RequestPortLoan(int nPort);
    void ReturnPortLoan();

    // The update: boot-loader entry, run, transfer and its clean-up.
    void OnBeginUpdate();
    LRESULT OnRunUpdate(WPARAM wParam, LPARAM lParam);
    void TransferHexFile();
    void ResetAfterUpdate();

    // True while an update runs; commands that would end the dialog are ignored meanwhile.
    bool UpdateInProgress() const { return m_bUpdateRunning; }

    // An exception that reached the window's boundary. When it left the update's own frame, it
    // ends the update as a failure would: port closed and given back, controls and system menu
    // enabled again, and the user told. When it left a handler run inside the update (by the
    // transfer's pumped message or a message box's loop), it is recorded for the update's frame
    // to act on: the update is ended once, by that frame, with one message. At other times the
    // user is told.
    void OnHandlerException(const std::string& what) override;
    // Called by the update where it dispatched messages, and before each step that would reach
    // the device: a handler's exception recorded meanwhile is raised again here, so that it ends
    // the update from its own frame before anything more is sent.
    void RaiseNestedHandlerFailure();

    CSerialPort m_serialPort;
    std::string m_strProgramDir;
    std::string m_strFirmwareVersion;
    std::string m_strHexFileName;
    fw::Font m_headlineFont;
    int m_nRowCount;
    HKEY m_hSerialCommKey;
    BOOL m_portPresent[kComPortCount];
    int m_nLoanPort;
    HICON m_hIcon;

protected:
    FW_DECLARE_MESSAGE_MAP()

private:
    // The steps of Begin Update.
    void BeginUpdate();
    void SetUpdateCommandsLocked(bool locked);
    // The HEX file as the update sends it: the program directory and the file's name.
    update::FirmwarePackage FirmwarePackageToSend() const;
    bool m_bUpdateRunning = false;
    // From the start of Begin Update to its normal end; still set when an exception left it.
    bool m_bBeginUpdateActive = false;

    // Marks the update's own frame (Begin Update, the update run) as running while it lives,
    // and forgets a recorded failure once the outermost one is left, by return or by exception.
    class UpdateFrame {
    public:
        explicit UpdateFrame(CUpdateDlg& dialog);
        ~UpdateFrame();
        UpdateFrame(const UpdateFrame&) = delete;
        UpdateFrame& operator=(const UpdateFrame&) = delete;

    private:
        CUpdateDlg& m_dialog;
    };
    int m_nUpdateFrames = 0;
    // The first exception of a handler run inside the update's frame, until that frame acts
    // (a handler's failure always has words).
    std::string m_strNestedFailure;
    // A recorded exception that the update ended without raising, told once the update's own
    // message is out.
    std::string m_strUnreportedFailure;
    void ReportUnraisedFailure();
};
