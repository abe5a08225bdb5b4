// CUpdateDlg's frame: members, message map, opening, painting, colouring and closing.
#include "ui/UpdateDlg.h"

#include "fw/App.h"
#include "ui/AboutDlg.h"
#include "ui/DialogPosition.h"

namespace {

const char* const kInstructionPieces[] = {
    "- Be sure the " DEVICE_NAME " wedge is connected to a power source (see manual).\n",
    "  Possible power sources include the following:\n",
    "      -- Connected between your keyboard and PC.\n",
    "      -- Connected to USB port via USB to PS2 adapter.\n",
    "- Connect the " DEVICE_NAME " to a serial port on your PC.\n",
    "- Select your PC serial port number (COM1 to COM12).\n",
    "- Press the \"Begin Update\" button.\n",
    "- Monitor the Firmware Update Status information.\n",
    "- A message box will indicate the success of the update.",
};

// The instructions document has no name in this release, so the handler always reports it missing.
const char* const kInstructionsDocument = "";

HICON LoadMainIcon() {
    fw::App* app = fw::App::Current();
    return app != nullptr && app->services().ui != nullptr
               ? app->services().ui->loadIcon(IDR_MAINFRAME)
               : nullptr;
}

} // namespace

FW_BEGIN_MESSAGE_MAP(CUpdateDlg, fw::Dialog)
FW_ON_WM_SYSCOMMAND()
FW_ON_WM_PAINT()
FW_ON_WM_QUERYDRAGICON()
FW_ON_COMMAND(IDCANCEL, OnDone)
FW_ON_COMMAND(IDC_BEGIN_UPDATE, OnBeginUpdate)
FW_ON_WM_DESTROY()
FW_ON_MESSAGE(WM_RUN_UPDATE, OnRunUpdate)
FW_ON_WM_CTLCOLOR()
FW_ON_COMMAND(IDC_REFRESH_PORTS, OnRefreshSerialPorts)
FW_ON_COMMAND(IDC_CONTACT_INFO, OnContactInfo)
FW_ON_COMMAND(IDC_DETAILED_INSTRUCTIONS, OnDetailedInstructions)
FW_END_MESSAGE_MAP()

CUpdateDlg::CUpdateDlg(fw::Dialog*)
    : fw::Dialog(IDD_UPDATE_DIALOG), m_nRowCount(0), m_hSerialCommKey(nullptr), m_portPresent{},
      m_nLoanPort(-1), m_hIcon(LoadMainIcon()) {}

CUpdateDlg::~CUpdateDlg() = default;

BOOL CUpdateDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();

    SetWindowText(DEVICE_NAME " Firmware Update");

    if (fw::SystemMenu* menu = GetSystemMenu()) {
        menu->AppendMenu(MF_SEPARATOR, 0, "");
        menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, "About " DEVICE_NAME " Update...");
    }

    SetIcon(m_hIcon, TRUE);

    PlaceOnScreen(*this);

    m_headlineFont.CreatePointFontIndirect(90, FW_BOLD, "Microsoft Sans Serif");

    SetDlgItemText(IDC_HEADLINE, "Use for updating the " DEVICE_NAME " hardware wedge firmware.");
    std::string instructions;
    for (const char* piece : kInstructionPieces) {
        instructions += piece;
    }
    SetDlgItemText(IDC_INSTRUCTIONS, instructions);

    m_nRowCount = 0;
    const BOOL packageUsable = LoadFirmwarePackage();

    SetDlgItemText(IDC_FIRMWARE_VERSION, "Firmware version  =  " + m_strFirmwareVersion);
    SetDlgItemText(IDC_BOOTLOADER_VERSION, "");
    SetDlgItemText(IDC_ROW_PROGRESS, "");
    SetDlgItemText(IDC_UPDATE_RESULT, "");
    if (!packageUsable) {
        EnableDlgItem(IDC_BEGIN_UPDATE, FALSE);
    }

    ShowDlgItem(IDC_DETAILED_INSTRUCTIONS, SW_HIDE);

    OnRefreshSerialPorts();
    return TRUE;
}

void CUpdateDlg::OnOK() {
    // Enter does not close the dialog.
}

void CUpdateDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        if (!m_bUpdateRunning) {
            CAboutDlg about;
            about.DoModal();
        }
        return;
    }
    if ((id & 0xFFF0) == SC_CLOSE && m_bUpdateRunning) {
        return; // the firmware is being written: closing now would leave the device half-flashed
    }
    DefaultSysCommand(id, lParam);
}

void CUpdateDlg::OnPaint() {
    if (!IsIconic()) {
        DefaultPaint();
        return;
    }
    fw::PaintDC dc(*this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    fw::Ui* ui = fw::App::Current()->services().ui;
    const int cxIcon = ui->getSystemMetrics(SM_CXICON);
    const int cyIcon = ui->getSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CUpdateDlg::OnQueryDragIcon() {
    return m_hIcon;
}

HBRUSH CUpdateDlg::OnCtlColor(HDC dc, int controlId, UINT kind) {
    HBRUSH brush = DefaultCtlColor(dc, controlId, kind);
    if (controlId == IDC_HEADLINE) {
        SelectFont(dc, m_headlineFont);
        SetTextColor(dc, RGB(192, 0, 0));
        SetBkMode(dc, TRANSPARENT);
    }
    return brush;
}

void CUpdateDlg::OnContactInfo() {
    CAboutDlg about;
    about.DoModal();
}

void CUpdateDlg::OnDone() {
    if (m_bUpdateRunning) {
        return; // Escape, Alt+F4 or the close box while the firmware is being written
    }
    m_serialPort.Close();
    ReturnPortLoan();
    OnCancel();
}

void CUpdateDlg::OnDestroy() {
    DefaultDestroy();
    m_serialPort.Close();
}

void CUpdateDlg::OnDetailedInstructions() {
    const std::string caption = "Detailed Instructions";
    const std::string path = m_strProgramDir + kInstructionsDocument;
    fw::Shell* shell = fw::App::Current()->services().shell;
    if (shell == nullptr || !shell->fileExists(path.c_str())) {
        MessageBox("Cannot fine the detailed instructions document.     \n" + path + "     ",
                   caption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (shell->shellExecute("open", path.c_str(), SW_SHOW) <= 32) {
        MessageBox(std::string("Unable to load the Acrobat Reader.\n") + "\n" +
                       "Acrobat Reader must be installed on your computer in order to view the "
                       "detailed instructions.     ",
                   caption, MB_OK | MB_ICONEXCLAMATION);
    }
}
