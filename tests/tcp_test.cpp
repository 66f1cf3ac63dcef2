// The TCP channel over real sockets on 127.0.0.1, with the real worker loop
// and the recording library: the same bytes as the file path, one queue
// with the files, nothing lost when a client goes, every bound.
#include <atomic>
#include <functional>
#include <thread>

#include "agent_fixture.h"
#include "engine/request_framer.h"
#include "engine/tcp_channel.h"
#include "engine/tcp_client.h"
#include "platform/socket.h"
#include "resources/texts.h"
#include "shell/status_report.h"

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kSale = {
    "; venda no balcao",
    "TORVA_Fiscal_Abrir_Cupom|12345678909|Maria Silva|Rua das Flores, 10|Consumidor final|0|",
    "TORVA_Fiscal_Vender_Item|7891000100103|CAFE TORRADO 500G|T1|0|2|UN|1490|D$|0|",
    "TORVA_Fiscal_Pagamento|Dinheiro|30,00|0|Troco em especie||",
    "TORVA_Fiscal_Fechar_CupomEX|",
    "."};

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds within = 10s) {
    const auto until = std::chrono::steady_clock::now() + within;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::uint16_t FreePort() {
    platform::Socket probe;
    EXPECT_EQ(platform::ListenResult::Listening, platform::Listen("127.0.0.1", 0, probe));
    return platform::LocalPort(probe);
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class TcpTest : public AgentFixture {
protected:
    void SetUp() override {
        AgentFixture::SetUp();
        SetEnvironment("TORVA_FAULTS", root / "falhas.txt");
        environment.spoolDirectory = root / "spool";
        environment.tcp.port = FreePort();
        environment.describeStatus = [](const std::string& text) {
            return shell::ReportStatus(&text, {}, engine::UnixNow()).text;
        };
    }
    void TearDown() override {
        StopAgent();
        SetEnvironment("TORVA_FAULTS", "");
        AgentFixture::TearDown();
    }

    void StartAgent(bool expectListening = true) {
        agent = std::thread([this] { engine::AgentThreadMain(shared, environment); });
        if (expectListening) {
            ASSERT_TRUE(Eventually([&] { return Log().find("Canal TCP escutando") != std::string::npos; })) << Log();
        }
    }
    void StopAgent() {
        if (!agent.joinable()) return;
        shared.RequestStop();
        agent.join();
    }
    std::unique_ptr<engine::ChannelClient> Connect() {
        auto client = std::make_unique<engine::ChannelClient>();
        EXPECT_TRUE(client->Connect("127.0.0.1", environment.tcp.port, 5s));
        return client;
    }
    // Answers kept for clients that did not take them.
    std::vector<std::string> Kept() const { return FilesLike(out(), "TCP_", ""); }

    std::thread agent;
};

// A request's answer is the response file's bytes, whatever its line ends;
// several requests may follow one another on one connection, "?" among
// them.
TEST_F(TcpTest, AnswersAreTheResponseFilesBytesRequestAfterRequest) {
    StartAgent();
    Drop("VENDA.FPI", kSale);
    ASSERT_TRUE(Eventually([&] { return !fs::exists(in() / "VENDA.FPI") && shared.printerOnline; }));
    const std::string fileResponse = Response("VENDA_");
    ASSERT_EQ(4u, Count(fileResponse, "\r\r\n")) << fileResponse;

    std::string lf;
    for (const std::string& line : kSale) lf += line + "\n";
    const std::string unknown = std::string("Line 1: 3|") + texts::kUnknownCommand + "|\r\r\n";
    struct Case {
        std::string request;
        std::string records;  // "" with the status
        std::size_t end;
    } cases[] = {
        {CrLf(kSale), fileResponse, 4},
        {lf, fileResponse, 4},
        {"; nada a fazer\r\n.  \r\n", "", 0},
        {"TORVA_Nao_Existe|\n.\n", unknown, 1},
        {"?\r\n", "", 4},
        {"TORVA_Nao_Existe|\n. fim\nTORVA_Nao_Existe|\n.\n", unknown, 1},  // ". fim" ends the execution, not the request
    };
    auto client = Connect();
    // All sent before any answer is read: each is answered in turn.
    std::string all;
    for (const Case& c : cases) all += c.request;
    ASSERT_TRUE(client->Send(all));
    for (const Case& c : cases) {
        const auto answer = client->Read(10s);
        ASSERT_EQ(c.end, answer.end.value_or(999)) << c.request << answer.records << answer.error;
        if (c.request == "?\r\n") {
            EXPECT_TRUE(answer.records.starts_with("Agente: em execu\xE7\xE3o desde")) << answer.records;
            EXPECT_NE(std::string::npos, answer.records.find("\r\r\nImpressora: online")) << answer.records;
        } else {
            EXPECT_EQ(c.records, answer.records) << c.request;
        }
    }
    // Far more requests than a connection may have in hand: the rest wait in
    // the socket, all are answered in turn.
    std::string many;
    for (int i = 0; i < 40; ++i) many += "TORVA_Nao_Existe|" + std::to_string(i) + "|\n.\n";
    ASSERT_TRUE(client->Send(many));
    for (int i = 0; i < 40; ++i) ASSERT_EQ(unknown, client->Read(10s).records) << i;
    EXPECT_EQ(1u, FilesLike(out(), "", ".fpo").size()) << "answers delivered leave nothing behind";
}

// Clients and a writer of files at once: every line runs once, no two
// driver calls overlap, every client has its answers.
TEST_F(TcpTest, RequestsAndFilesShareOneQueueAndNothingRunsTwice) {
    WriteBytes(root / "falhas.txt", "delay 1\n");
    StartAgent();
    constexpr int kClients = 4, kRequests = 8, kFiles = 8;
    std::atomic<int> answered{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            auto client = Connect();
            for (int r = 0; r < kRequests; ++r) {
                const std::string text = "TORVA_Fiscal_Imprimir_MensagemEX|c" + std::to_string(c) + "r" +
                                         std::to_string(r) + "|\r\n.\r\n";
                if (!client->Send(text)) return;
                const auto answer = client->Read(20s);
                if (answer.end == 1u && answer.records == "Line 1: 0|\r\r\n") ++answered;
            }
        });
    }
    for (int f = 0; f < kFiles; ++f) {
        WriteBytes(in() / ("A.tmp"), "TORVA_Fiscal_Imprimir_MensagemEX|f" + std::to_string(f) + "|\r\n.\r\n");
        fs::rename(in() / "A.tmp", in() / ("F" + std::to_string(f) + ".FPI"));
        std::this_thread::sleep_for(3ms);
    }
    for (auto& client : clients) client.join();
    EXPECT_EQ(kClients * kRequests, answered.load());
    ASSERT_TRUE(Eventually([&] { return FilesLike(out(), "F", ".fpo").size() == kFiles; }));
    const std::string trace = ReadBytes(root / "trace.txt");
    EXPECT_EQ(0u, Count(trace, "!overlap")) << trace;
    for (int c = 0; c < kClients; ++c)
        for (int r = 0; r < kRequests; ++r)
            EXPECT_EQ(1u, Count(trace, "|c" + std::to_string(c) + "r" + std::to_string(r) + "|")) << c << " " << r;
    for (int f = 0; f < kFiles; ++f) EXPECT_EQ(1u, Count(trace, "|f" + std::to_string(f) + "|")) << f;
    EXPECT_TRUE(Kept().empty()) << Kept()[0];
}

// A request cut short by its client never runs; a request received whole
// runs whole, and the answers its client left before reading go to the
// output directory under the connection's name and the time.
TEST_F(TcpTest, AClientThatGoesLosesNothingAndRunsNothingHalfSent) {
    StartAgent();
    {
        auto client = Connect();
        ASSERT_TRUE(client->Send("TORVA_Fiscal_Imprimir_MensagemEX|metade|\r\n.x\r\n."));
    }
    WriteBytes(root / "falhas.txt", "stuck TORVA_Fiscal_Fechar_CupomEX\n");
    {
        auto client = Connect();
        ASSERT_TRUE(client->Send("TORVA_Fiscal_Imprimir_MensagemEX|inteiro|\r\nTORVA_Fiscal_Fechar_CupomEX|\r\n.\r\n"));
        // Gone once the first record is in, with the second to come.
        ASSERT_TRUE(Eventually([&] { return ReadBytes(environment.journalPath).find("linha 2\n") != std::string::npos; }));
    }
    WriteBytes(root / "falhas.txt", "");
    ASSERT_TRUE(Eventually([&] { return !FilesLike(out(), "TCP_127.0.0.1_", ".fpo").empty(); })) << Log();
    const auto kept = FilesLike(out(), "TCP_127.0.0.1_", ".fpo");
    ASSERT_EQ(1u, kept.size());
    EXPECT_EQ("Line 1: 0|\r\r\nLine 2: 0||\r\r\n", ReadBytes(out() / kept[0]));
    // Logged once the file is there.
    const std::string logged = "n\xE3o entregues ao cliente; gravadas em (" + (out() / kept[0]).string();
    EXPECT_TRUE(Eventually([&] { return Log().find(logged) != std::string::npos; })) << Log();
    const std::string trace = ReadBytes(root / "trace.txt");
    EXPECT_EQ(std::string::npos, trace.find("metade")) << trace;
    EXPECT_EQ(1u, Count(trace, "|inteiro|"));
}

// Each bound answers with its reason, closes the connection, logs it, and
// runs nothing of what was sent; the port in use leaves the files served
// and is tried again.
TEST_F(TcpTest, EveryBoundRefusesLogsAndRunsNothing) {
    environment.tcp.token = "segredo";
    environment.tcp.maxConnections = 3;
    environment.tcp.limits = {2000, 100};
    environment.tcp.arrivalLimit = 300ms;
    environment.tcp.idleLimit = 400ms;
    environment.tcp.refusalDelay = 50ms;
    StartAgent();
    const std::string token = "#TOKEN segredo\r\n";
    const std::string line = "TORVA_Fiscal_Imprimir_MensagemEX|nunca|\r\n";
    struct Case {
        std::string sent;
        const char* reason;  // nothing: closed without a reason (idle)
        std::string logged;
    } cases[] = {
        {"#TOKEN errado\r\n" + line + ".\r\n", texts::kTcpErrorToken, "TcpToken ausente ou errado"},
        {line + ".\r\n", texts::kTcpErrorToken, "TcpToken ausente ou errado"},
        {"", texts::kTcpErrorToken, "TcpToken ausente ou errado"},  // silent: no token within the arrival time
        {token + line + std::string(2000, ';') + "\r\n.\r\n", texts::kTcpErrorLineTooLong, "linha com mais de 100"},
        {token + line + [] { std::string s; for (int i = 0; i < 30; ++i) s += std::string(80, ';') + "\r\n"; return s; }(),
         texts::kTcpErrorTooLarge, "pedido com mais de 2000"},
        {token + line, texts::kTcpErrorTooSlow, "pedido sem finalizador ap\xF3s 1 segundos"},
        {token + line + "\x1A\r\n.\r\n", texts::kTcpErrorCtrlZ, "Ctrl-Z antes do finalizador"},
        {token, nullptr, "sem atividade por 1 segundos"},
    };
    for (const Case& c : cases) {
        // The connections of the cases before may not all be closed yet.
        engine::ChannelClient::Answer answer;
        for (int tries = 0; tries < 20 && (tries == 0 || answer.error == texts::kTcpErrorBusy); ++tries) {
            if (tries > 0) std::this_thread::sleep_for(50ms);
            auto client = Connect();
            ASSERT_TRUE(client->Send(c.sent));
            answer = client->Read(5s);
        }
        if (c.reason != nullptr) {
            EXPECT_EQ(c.reason, answer.error) << c.sent.substr(0, 60);
        } else {
            EXPECT_TRUE(answer.closed && answer.error.empty()) << answer.error;
        }
        EXPECT_NE(std::string::npos, Log().find(c.logged)) << c.logged;
    }
    // Past the connections allowed, the next is told at once.
    std::this_thread::sleep_for(300ms);
    std::vector<std::unique_ptr<engine::ChannelClient>> held;
    for (std::size_t i = 0; i < environment.tcp.maxConnections; ++i) {
        held.push_back(Connect());
        ASSERT_TRUE(held.back()->Send(token));
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(texts::kTcpErrorBusy, Connect()->Read(5s).error);
    EXPECT_NE(std::string::npos, Log().find("j\xE1 h\xE1 3 conex\xF5" "es abertas"));
    // With the token, a request runs.
    ASSERT_TRUE(held.front()->Send("TORVA_Fiscal_Imprimir_MensagemEX|sim|\r\n.\r\n"));
    EXPECT_EQ(1u, held.front()->Read(5s).end.value_or(0));
    EXPECT_EQ(std::string::npos, ReadBytes(root / "trace.txt").find("nunca"));

    // A second agent finds the port taken: it says so and serves files.
    held.clear();
    StopAgent();
    platform::Socket taken;
    ASSERT_EQ(platform::ListenResult::Listening, platform::Listen("127.0.0.1", environment.tcp.port, taken));
    shared.stopRequested = false;
    StartAgent(false);
    EXPECT_TRUE(Eventually([&] { return Log().find("j\xE1 est\xE1 em uso") != std::string::npos; })) << Log();
    Drop("DEPOIS.FPI", {"TORVA_Fiscal_Imprimir_MensagemEX|arquivo|", "."});
    EXPECT_TRUE(Eventually([&] { return !FilesLike(out(), "DEPOIS_", ".fpo").empty(); }));
    // Once the port is free the channel takes it.
    taken.Close();
    EXPECT_TRUE(Eventually([&] { return Count(Log(), "Canal TCP escutando") == 2; }));
}

// A stop finishes the request in hand; the requests received behind it are
// not run (their client has no end line for them, and may send them again),
// and the log names them.
TEST_F(TcpTest, AStopFinishesTheRequestInHandAndRunsNoneBehindIt) {
    WriteBytes(root / "falhas.txt", "stuck TORVA_Fiscal_Fechar_CupomEX\n");
    StartAgent();
    auto client = Connect();
    ASSERT_TRUE(client->Send("TORVA_Fiscal_Fechar_CupomEX|\r\n.\r\nTORVA_Fiscal_Imprimir_MensagemEX|depois|\r\n.\r\n"));
    ASSERT_TRUE(Eventually([&] { return ReadBytes(environment.journalPath).find("linha 1\n") != std::string::npos; }));
    std::thread stop([&] { StopAgent(); });
    std::this_thread::sleep_for(100ms);
    WriteBytes(root / "falhas.txt", "");
    stop.join();
    EXPECT_EQ(1u, client->Read(5s).end.value_or(0)) << "the request in hand, whole";
    EXPECT_FALSE(client->Read(5s).end.has_value());
    EXPECT_EQ(std::string::npos, ReadBytes(root / "trace.txt").find("|depois|"));
    EXPECT_NE(std::string::npos, Log().find("_2.FPI) n\xE3o executado: o agente foi parado")) << Log();
}

// What an agent that stored its requests on disk left: its answers go to the
// output directory, its requests are never run (their clients may have sent
// them again), and the log names them.
TEST_F(TcpTest, AStoredRequestOfAnEarlierRunIsNeverRun) {
    fs::create_directories(environment.spoolDirectory);
    WriteBytes(root / "spool/TCP_127.0.0.1_5000_1.FPI", "TORVA_Fiscal_Imprimir_MensagemEX|inteiro|\r\n.\r\n");
    WriteBytes(root / "spool/TCP_127.0.0.1_5000_0_20261208_101010.fpo", "Line 1: 0|\r\r\n");
    StartAgent();
    EXPECT_EQ(std::vector<std::string>{"TCP_127.0.0.1_5000_0_20261208_101010.fpo"}, Kept());
    EXPECT_TRUE(FilesLike(environment.spoolDirectory, "", "").empty());
    EXPECT_EQ(std::string::npos, ReadBytes(root / "trace.txt").find("|inteiro|"));
    EXPECT_NE(std::string::npos, Log().find("(TCP_127.0.0.1_5000_1.FPI) de uma execu\xE7\xE3o anterior descartado"));
}

TEST(TcpChannel, LoopbackAddressesAndTokens) {
    EXPECT_TRUE(engine::IsLoopbackAddress("127.0.0.1"));
    EXPECT_TRUE(engine::IsLoopbackAddress("::1"));
    EXPECT_FALSE(engine::IsLoopbackAddress("0.0.0.0"));
    EXPECT_FALSE(engine::IsLoopbackAddress("192.168.0.10"));
    EXPECT_TRUE(engine::SameToken("segredo", "segredo"));
    for (const char* wrong : {"", "segred", "segredo!", "Segredo", "segredp"})
        EXPECT_FALSE(engine::SameToken(wrong, "segredo")) << wrong;
}

}  // namespace
}  // namespace zentrada::testing
