// Every text the agent shows or writes, in one place. They are code page
// 1252 bytes: accented letters are written as their single-byte escapes
// (\xE3 is "a" with tilde, \xE2 "a" with circumflex, \xEA "e" with
// circumflex, \xE1 "a" acute, \xE7 "c" cedilla, \xFA "u" acute).
#pragma once

namespace zentrada::texts {

// Response records.
inline constexpr char kUnknownCommand[] = "Erro no comando. Nome de comando n\xE3o existente.";
inline constexpr char kWrongParameterCount[] =
    "Erro de par\xE2metros. N\xFAmero de par\xE2metros incorreto.";
inline constexpr char kEntryPointMissingPrefix[] = "Erro! Metodo n\xE3o encontrado. ";

// Agent log.
inline constexpr char kThreadStarted[] = "Thread iniciada.";
inline constexpr char kThreadEndedPortError[] =
    "Thread encerrada, erro de comunica\xE7\xE3o com a impressora.";
inline constexpr char kThreadEndedNormally[] = "Thread encerrada normalmente.";
inline constexpr char kLoadingLibrary[] = "Carregando DLL";
inline constexpr char kLibraryNotFound[] = "Erro! Dll InterfaceTorva n\xE3o encontrada.";
// Abandoned command file: old name, new name.
inline constexpr char kFileRenamed[] =
    "Arquivo renomeado de (%s) para (%s). Finalizador do arquivo n\xE3o encontrado.";
// Abandoned command file whose move failed: old name, new name.
inline constexpr char kFileRenameFailed[] =
    "Falha ao renomear o arquivo (%s) para (%s). Finalizador do arquivo n\xE3o encontrado.";
// Executed command file that could not be deleted: its name.
inline constexpr char kFileNotDeleted[] =
    "Arquivo (%s) executado e n\xE3o apagado. Ele n\xE3o ser\xE1 executado novamente enquanto n\xE3o for alterado.";
// Command file found in hand at start, cut short by a crash: old name, new
// name.
inline constexpr char kFileInterrupted[] =
    "Arquivo (%s) interrompido durante a execu\xE7\xE3o e renomeado para (%s). Verifique o estado da impressora.";
// The same, when the move failed: old name, new name.
inline constexpr char kFileInterruptedNotMoved[] =
    "Arquivo (%s) interrompido durante a execu\xE7\xE3o. Falha ao renomear para (%s); ele n\xE3o ser\xE1 executado "
    "novamente enquanto n\xE3o for alterado. Verifique o estado da impressora.";
// The record of the line in flight (or the next one) of an interrupted file.
inline constexpr char kLineInterrupted[] =
    "Execu\xE7\xE3o interrompida: esta linha pode ter sido executada e as seguintes n\xE3o foram. Verifique o "
    "estado da impressora.";
// The file in hand at start is no longer as the journal knew it: its name.
inline constexpr char kFileInterruptedGone[] =
    "Arquivo (%s) interrompido durante a execu\xE7\xE3o; ele n\xE3o est\xE1 mais na pasta de entrada como estava. "
    "Verifique o estado da impressora.";
// The journal of the file in hand could not be written: its path.
inline constexpr char kJournalNotWritten[] = "Erro ao gravar o arquivo de controle da execu\xE7\xE3o (%s).";
// The input directory is held by another agent: its path.
inline constexpr char kInputDirectoryInUse[] =
    "A pasta de entrada (%s) est\xE1 em uso por outro Zentrada. Nenhum arquivo ser\xE1 tomado dela enquanto isso.";
// Response file that could not be written: its path.
inline constexpr char kResponseNotWritten[] = "Erro ao gravar o arquivo de resposta (%s).";
// The status could not be written to the monitoring directory: the file's
// path. Logged once until it can be written again.
inline constexpr char kMetricsNotWritten[] =
    "N\xE3o foi poss\xEDvel gravar o estado do agente em (%s). Verifique a pasta MetricsDirectory.";
// A ready command file waits while its response file cannot be created:
// the command file's name, the response's path.
inline constexpr char kResponseCannotBeCreated[] =
    "Arquivo (%s) aguardando: n\xE3o foi poss\xEDvel criar o arquivo de resposta (%s). Verifique a pasta de sa\xED" "da.";
// Answers kept in the journal until the output directory takes them: the
// command file's name, the response's path.
inline constexpr char kAnswersKept[] =
    "Respostas do arquivo (%s) guardadas at\xE9 que o arquivo de resposta (%s) possa ser gravado. Nenhum arquivo "
    "ser\xE1 executado enquanto isso.";
// The kept answers reached the response file: its path.
inline constexpr char kAnswersWritten[] = "Respostas guardadas gravadas no arquivo de resposta (%s).";

// Messages to the user.
inline constexpr char kErrorTitle[] = "Erro!";
inline constexpr char kAgentErrorTitle[] = "Zentrada - Erro!";
inline constexpr char kLibraryLoadFailed[] =
    "Erro ao carregar a biblioteca de alto n\xEDvel!\r\nO programa ser\xE1 finalizado.";
inline constexpr char kPortOpenFailed[] =
    "Erro de comunica\xE7\xE3o com a impressora. Processo paralizado.";
inline constexpr char kAlreadyRunningTitle[] = "Aplicativo em Execu\xE7\xE3o";
inline constexpr char kAlreadyRunning[] =
    "Voc\xEA j\xE1 est\xE1 executando este aplicativo.\nPor favor, feche o outro programa antes de "
    "execut\xE1-lo novamente.";
inline constexpr char kThreadStartFailed[] = "Erro de inicializa\xE7\xE3o da thread do Agente!";

// Headless host: command-line usage and option errors.
#if defined(_WIN32)
inline constexpr char kHostUsage[] =
    "Uso: zentrada-console [op\xE7\xF5" "es]\n"
    "Executa na impressora fiscal os arquivos de comando (*.FPI) do diret\xF3rio de entrada\n"
    "e grava as respostas (*.fpo) no diret\xF3rio de sa\xED" "da.\n"
    "\n"
    "  --in DIR       diret\xF3rio de entrada (WorkDirectoryIn do registro)\n"
    "  --out DIR      diret\xF3rio de sa\xED" "da (WorkDirectoryOut do registro)\n"
    "  --simple       modo simplificado: s\xF3 COMANDO.FPI, respondido em COMANDO.fpo\n"
    "  --driver ARQ   biblioteca do driver da impressora (padr\xE3o: InterfaceTorva.dll)\n"
    "  --check ARQ... l\xEA arquivos de comando como o agente e diz o que ele faria,\n"
    "                 sem executar nada; os argumentos seguintes s\xE3o os arquivos\n"
    "  --send HOST:PORTA ARQ...  envia arquivos de comando pelo canal TCP (TcpPort) e grava\n"
    "                 as respostas em --out DIR, ou na sa\xED" "da padr\xE3o; ZENTRADA_TOKEN: o TcpToken\n"
    "  --status       mostra o estado do agente instalado ao lado deste programa;\n"
    "                 sa\xED" "da 0: em execu\xE7\xE3o com a impressora online, 1: impressora\n"
    "                 offline, 2: agente parado\n"
    "  --install-service [--in DIR] [--out DIR] [--account CONTA --password SENHA]\n"
    "                 instala o servi\xE7o do Windows \"Zentrada\" (in\xED" "cio autom\xE1tico)\n"
    "  --uninstall-service  para e remove o servi\xE7o\n"
    "  --help         mostra esta ajuda\n"
    "  --version      mostra a vers\xE3o\n"
    "\n"
    "As op\xE7\xF5" "es valem sobre HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVA\\Zentrada.\n"
    "Ctrl+C, Ctrl+Break ou fechar o console param o agente depois do arquivo em execu\xE7\xE3o.\n";
#else
inline constexpr char kHostUsage[] =
    "Uso: zentrada [op\xE7\xF5" "es]\n"
    "Executa na impressora fiscal os arquivos de comando (*.FPI) do diret\xF3rio de entrada\n"
    "e grava as respostas (*.fpo) no diret\xF3rio de sa\xED" "da.\n"
    "\n"
    "  --in DIR       diret\xF3rio de entrada (WorkDirectoryIn de zentrada.conf)\n"
    "  --out DIR      diret\xF3rio de sa\xED" "da (WorkDirectoryOut de zentrada.conf)\n"
    "  --simple       modo simplificado: s\xF3 COMANDO.FPI, respondido em COMANDO.fpo\n"
    "  --driver ARQ   biblioteca do driver da impressora\n"
    "                 (padr\xE3o: libInterfaceTorva.so ao lado do execut\xE1vel)\n"
    "  --check ARQ... l\xEA arquivos de comando como o agente e diz o que ele faria,\n"
    "                 sem executar nada; os argumentos seguintes s\xE3o os arquivos\n"
    "  --send HOST:PORTA ARQ...  envia arquivos de comando pelo canal TCP (TcpPort) e grava\n"
    "                 as respostas em --out DIR, ou na sa\xED" "da padr\xE3o; ZENTRADA_TOKEN: o TcpToken\n"
    "  --status       mostra o estado do agente instalado ao lado deste programa;\n"
    "                 sa\xED" "da 0: em execu\xE7\xE3o com a impressora online, 1: impressora\n"
    "                 offline, 2: agente parado\n"
    "  --help         mostra esta ajuda\n"
    "  --version      mostra a vers\xE3o\n"
    "\n"
    "As op\xE7\xF5" "es valem sobre zentrada.conf, lido ao lado do execut\xE1vel.\n"
    "SIGINT ou SIGTERM param o agente depois do arquivo em execu\xE7\xE3o.\n";
#endif
// Headless host: the report of --status. Times are DD/MM/AAAA HH:MM:SS.
// Agent running: since when, program, version.
inline constexpr char kStatusRunning[] = "Agente: em execu\xE7\xE3o desde %s (%s %s).";
// Agent stopped in order: since when.
inline constexpr char kStatusStopped[] = "Agente: parado desde %s.";
// Status no longer rewritten: how long ago, when it last was.
inline constexpr char kStatusStale[] =
    "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; o estado foi gravado pela \xFAltima vez h\xE1 %s (%s).";
// No status to read: its path.
inline constexpr char kStatusMissing[] = "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; estado n\xE3o encontrado em %s.";
inline constexpr char kStatusPrinterOnline[] = "Impressora: online desde %s.";
inline constexpr char kStatusPrinterOffline[] = "Impressora: offline desde %s.";
// When the last file was answered, when the last without failures was.
inline constexpr char kStatusLastFiles[] = "\xDAltimo arquivo respondido: %s; \xFAltimo sem falhas: %s.";
inline constexpr char kStatusNone[] = "nenhum";
// Counts since the start: answered, failed, cut short, abandoned,
// undeleted, waiting.
inline constexpr char kStatusCounts[] =
    "Desde o in\xED" "cio: %s respondidos, %s com falha, %s interrompidos, %s abandonados, %s n\xE3o apagados; "
    "%s aguardando.";
// The Windows service (--install-service, --uninstall-service, --service).
inline constexpr char kServiceOnlyOnWindows[] =
    "s\xF3 no Windows (no Linux, o pacote instala o servi\xE7o systemd zentrada.service): ";
inline constexpr char kServiceDescription[] =
    "Executa na impressora fiscal os arquivos de comando do ponto de venda.";
// The service's command line.
inline constexpr char kServiceInstalled[] =
    "Servi\xE7o Zentrada instalado (%s): in\xED" "cio autom\xE1tico, reiniciado ap\xF3s falhas. "
    "Inicie-o com: net start Zentrada";
inline constexpr char kServiceUninstalled[] = "Servi\xE7o Zentrada parado e removido.";
inline constexpr char kServiceAccessDenied[] =
    "Sem permiss\xE3o para alterar os servi\xE7os do Windows: execute como administrador.";
inline constexpr char kServiceAlreadyInstalled[] =
    "O servi\xE7o Zentrada j\xE1 est\xE1 instalado; remova-o antes com --uninstall-service.";
inline constexpr char kServiceNotInstalled[] = "O servi\xE7o Zentrada n\xE3o est\xE1 instalado.";
// The system's error code.
inline constexpr char kServiceFailed[] = "Falha do gerenciador de servi\xE7os do Windows (erro %s).";
inline constexpr char kServiceSettingsNotSaved[] =
    "Servi\xE7o instalado, mas os diret\xF3rios n\xE3o puderam ser gravados no registro.";
inline constexpr char kServiceNotStartedByManager[] =
    "--service: s\xF3 o gerenciador de servi\xE7os do Windows inicia o agente assim (net start Zentrada).";
inline constexpr char kServiceStarted[] = "Servi\xE7o Zentrada iniciado.";
inline constexpr char kServiceStopped[] = "Servi\xE7o Zentrada parado.";
// The exit status (see the README's exit statuses).
inline constexpr char kServiceStoppedWithStatus[] = "Servi\xE7o Zentrada parado com o estado de sa\xED" "da %s.";
// The settings read again while the agent runs: input and output directory.
inline constexpr char kSettingsReloaded[] =
    "Configura\xE7\xF5" "es lidas novamente: diret\xF3rio de entrada (%s), diret\xF3rio de sa\xED" "da (%s).";
inline constexpr char kUnknownOption[] = "op\xE7\xE3o desconhecida: ";
inline constexpr char kMissingOptionValue[] = "falta o valor da op\xE7\xE3o ";
// A directory that the agent refuses: its length limit, the directory.
inline constexpr char kDirectoryTooLong[] =
    "Diret\xF3rio com mais de %s caracteres, n\xE3o utilizado: %s";
inline constexpr char kExecutablePathUnknown[] =
    "O caminho do execut\xE1vel n\xE3o p\xF4" "de ser obtido inteiro. O programa ser\xE1 finalizado.";
inline constexpr char kSeeHelp[] = "Use --help para ver as op\xE7\xF5" "es.";

// TCP channel, agent log. The peer is "<address>:<port>".
// Address, port.
inline constexpr char kTcpListening[] = "Canal TCP escutando em %s, porta %s.";
inline constexpr char kTcpPortInUse[] =
    "Canal TCP n\xE3o iniciado: a porta %s j\xE1 est\xE1 em uso em %s; nova tentativa a cada 2 segundos. Os "
    "arquivos de comando continuam sendo atendidos.";
// Address, port.
inline constexpr char kTcpListenFailed[] =
    "Canal TCP n\xE3o iniciado: n\xE3o foi poss\xED" "vel escutar em %s, porta %s. Os arquivos de comando "
    "continuam sendo atendidos.";
// Address.
inline constexpr char kTcpTokenRequired[] =
    "Canal TCP n\xE3o iniciado: o endere\xE7o %s aceita conex\xF5" "es de outras m\xE1quinas e TcpToken n\xE3o "
    "est\xE1 definido.";
// Peer.
inline constexpr char kTcpTokenRefused[] = "Conex\xE3o TCP de %s recusada: TcpToken ausente ou errado.";
// Peer, limit.
inline constexpr char kTcpTooManyConnections[] = "Conex\xE3o TCP de %s recusada: j\xE1 h\xE1 %s conex\xF5" "es abertas.";
inline constexpr char kTcpRequestTooLarge[] = "Conex\xE3o TCP de %s encerrada: pedido com mais de %s bytes.";
inline constexpr char kTcpLineTooLong[] = "Conex\xE3o TCP de %s encerrada: linha com mais de %s bytes.";
inline constexpr char kTcpRequestTooSlow[] =
    "Conex\xE3o TCP de %s encerrada: pedido sem finalizador ap\xF3s %s segundos. Ele n\xE3o foi executado.";
inline constexpr char kTcpIdle[] = "Conex\xE3o TCP de %s encerrada: sem atividade por %s segundos.";
// Peer.
inline constexpr char kTcpCutByCtrlZ[] =
    "Conex\xE3o TCP de %s encerrada: Ctrl-Z antes do finalizador; o pedido n\xE3o foi executado.";
// Response file's name, where it went.
inline constexpr char kTcpAnswersSaved[] =
    "Respostas do pedido TCP (%s) n\xE3o entregues ao cliente; gravadas em (%s).";
// Response file's name, the directory that refused it.
inline constexpr char kTcpAnswersNotSaved[] =
    "Respostas do pedido TCP (%s) n\xE3o entregues ao cliente e n\xE3o gravadas em (%s).";
// A request stored on disk by an agent that kept them there: its name.
inline constexpr char kTcpStoredRequestNotRun[] =
    "Pedido TCP (%s) de uma execu\xE7\xE3o anterior descartado sem ser executado: o cliente n\xE3o teve "
    "resposta e pode t\xEA-lo enviado de novo.";
// A request received whole and not yet taken when the agent stopped: its name.
inline constexpr char kTcpRequestNotRunStopped[] =
    "Pedido TCP (%s) n\xE3o executado: o agente foi parado antes de atend\xEA-lo.";
// At start, a request the journal names: its name; then its response file.
inline constexpr char kTcpRequestNotSent[] =
    "Pedido TCP (%s) interrompido antes de chegar \xE0 impressora; n\xE3o foi executado.";
inline constexpr char kTcpRequestInterrupted[] =
    "Pedido TCP (%s) interrompido durante a execu\xE7\xE3o; respostas n\xE3o entregues ao cliente gravadas em "
    "(%s). Verifique o estado da impressora.";
// TCP channel: the reasons of an "#ERRO" line sent before the connection closes.
inline constexpr char kTcpErrorToken[] = "TcpToken ausente ou errado";
inline constexpr char kTcpErrorBusy[] = "conex\xF5" "es demais";
inline constexpr char kTcpErrorTooLarge[] = "pedido grande demais";
inline constexpr char kTcpErrorLineTooLong[] = "linha longa demais";
inline constexpr char kTcpErrorTooSlow[] = "pedido sem finalizador no prazo";
inline constexpr char kTcpErrorCtrlZ[] = "Ctrl-Z antes do finalizador";

// Headless host, --send: the address; the file; the file, the reason.
inline constexpr char kSendBadAddress[] = "endere\xE7o inv\xE1lido para --send: %s (use HOST:PORTA)";
inline constexpr char kSendConnectFailed[] = "n\xE3o foi poss\xEDvel conectar a %s";
inline constexpr char kSendUnreadable[] = "o arquivo (%s) n\xE3o p\xF4" "de ser lido";
inline constexpr char kSendNoAnswer[] = "o arquivo (%s) n\xE3o foi respondido por inteiro: %s";
inline constexpr char kSendClosed[] = "conex\xE3o encerrada pelo agente";
inline constexpr char kSendNotWritten[] = "a resposta (%s) n\xE3o p\xF4" "de ser gravada";

// Headless host: the report of --check, one file after another. Patterns
// take their values in order for each "%s".
inline constexpr char kCheckFile[] = "Arquivo: %s";
inline constexpr char kCheckUnreadable[] = "O arquivo n\xE3o p\xF4" "de ser lido.";
inline constexpr char kCheckNotCommandFileName[] =
    "Aviso: o nome n\xE3o termina em .FPI, o agente n\xE3o tomaria este arquivo.";
inline constexpr char kCheckMarkerPresent[] = "Finalizador: presente, o arquivo seria tomado";
// The name the file would be moved to.
inline constexpr char kCheckMarkerMissing[] =
    "Finalizador: ausente, o arquivo n\xE3o seria tomado; esperaria e, dois minutos ap\xF3s a \xFAltima "
    "grava\xE7\xE3o, seria renomeado para %s";
inline constexpr char kCheckMarkerMissingAbandoned[] =
    "Finalizador: ausente, o arquivo n\xE3o seria tomado; gravado h\xE1 mais de dois minutos, seria "
    "renomeado para %s";
// The .bad name when the file's last-write time cannot be had.
inline constexpr char kCheckBadNameUnknown[] = "<nome>_<data e hora>.bad";
// /PRE, /NOSTOP: kCheckYes or kCheckNo each.
inline constexpr char kCheckOptions[] = "Op\xE7\xF5" "es: /PRE %s, /NOSTOP %s";
inline constexpr char kCheckYes[] = "sim";
inline constexpr char kCheckNo[] = "n\xE3o";
// A line: its number, then what it is.
inline constexpr char kCheckLine[] = "Linha %s: %s";
inline constexpr char kCheckOptionLine[] = "op\xE7\xE3o: %s";
inline constexpr char kCheckOptionOutsideBlock[] = "op\xE7\xE3o fora do bloco de op\xE7\xF5" "es, sem efeito: %s";
inline constexpr char kCheckCommentLine[] = "coment\xE1rio: %s";
inline constexpr char kCheckEmptyLine[] = "linha vazia";
// A command line: its name, what its parameters are, then the verdict.
inline constexpr char kCheckCommand[] = "%s (%s): %s";
inline constexpr char kCheckOneParameter[] = "1 par\xE2metro";
inline constexpr char kCheckParameters[] = "%s par\xE2metros";
inline constexpr char kCheckExpected[] = "%s, esperados: %s";
inline constexpr char kCheckNeverExecuted[] = "%s, nunca executado";
inline constexpr char kCheckCallsDriver[] = "chamaria o driver";
// The record the agent would write.
inline constexpr char kCheckAnswers[] = "responderia %s";
// The line as written.
inline constexpr char kCheckEndMarker[] = "finalizador %s, nada a responder";
inline constexpr char kCheckEndsExecution[] = "finalizador com texto %s, fim da execu\xE7\xE3o, nada a responder";
// The line at which the execution ends.
inline constexpr char kCheckNotReached[] = "n\xE3o alcan\xE7" "ada, a execu\xE7\xE3o termina na linha %s";
inline constexpr char kCheckRejectedByPre[] = "n\xE3o executada, /PRE rejeita o arquivo";
// A parameter: its position, its kind, its value.
inline constexpr char kCheckParameter[] = "    %s %s: %s";
inline constexpr char kCheckUncataloguedParameter[] = "    %s: %s";
inline constexpr char kCheckMissingParameter[] = "falta";
inline constexpr char kCheckExtraParameter[] = "a mais";
inline constexpr char kCheckOutputs[] = "    sa\xED" "das: %s";
inline constexpr char kCheckResultOk[] = "Resultado: OK, todas as linhas seriam executadas";
// The reasons, joined by "; ".
inline constexpr char kCheckResultFailed[] = "Resultado: ERRO, %s";
inline constexpr char kCheckReasonUnreadable[] = "arquivo ileg\xEDvel";
inline constexpr char kCheckReasonNoMarker[] = "sem finalizador";
inline constexpr char kCheckReasonFailingLines[] = "linhas com erro: %s";
inline constexpr char kCheckReasonLinesNotRun[] = "linhas n\xE3o executadas: %s";

// Control panel, tray icon and log viewer.
inline constexpr char kVersionLabel[] = "Vers\xE3o %s";
inline constexpr char kServiceActive[] = "Ativo";
inline constexpr char kServiceInactive[] = "Inativo";
inline constexpr char kServiceStopping[] = "Encerrando...";
inline constexpr char kPrinterOnline[] = "Online";
inline constexpr char kPrinterOffline[] = "Offline";
inline constexpr char kBrowseInputTitle[] = "Selecione o diret\xF3rio de entrada:";
inline constexpr char kBrowseOutputTitle[] = "Selecione o diret\xF3rio de sa\xED" "da:";
inline constexpr char kTrayTip[] = "Zentrada";
inline constexpr char kBalloonTitle[] = "Zentrada";
inline constexpr char kBalloonOnline[] = "A impressora est\xE1 online.";
inline constexpr char kBalloonOffline[] = "A impressora est\xE1 offline.";
inline constexpr char kPanelTitle[] = "Zentrada";
// A typed or browsed directory that the agent's buffers cannot hold: the
// limit, the directory.
inline constexpr char kDirectoryTooLongPanel[] =
    "O diret\xF3rio tem mais de %s caracteres e n\xE3o foi aplicado:\n%s";
inline constexpr char kSettingsNotSaved[] =
    "As configura\xE7\xF5" "es n\xE3o puderam ser gravadas no registro do Windows.\n"
    "Elas valem at\xE9 o Zentrada ser encerrado. Para grav\xE1-las, execute o Zentrada como administrador.";
// Why the end of the Windows session waits for the agent.
inline constexpr char kShutdownBlockReason[] = "Terminando o arquivo de comando em execu\xE7\xE3o.";
// The agent ended while its worker was still busy: seconds waited.
inline constexpr char kEndedWithoutWorker[] =
    "Zentrada encerrado sem o fim da thread, ap\xF3s %s segundos de espera. Verifique o estado da impressora.";

}  // namespace zentrada::texts
