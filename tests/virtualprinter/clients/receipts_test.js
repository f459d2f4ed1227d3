// Receipts made by two ESC/POS client libraries, sent to quillon-virtual-printer over TCP
// as their own examples send them. Checks the printer's report: no unknown command, the
// printed text lines are the receipt's text (no stray parameter bytes), and every printed
// symbol decodes (ZXing, through the symbol reader) to the data it was sent.
// Usage: node receipts_test.js VIRTUAL_PRINTER SYMBOL_READER
'use strict';
const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const net = require('net');
const path = require('path');

const [vp, reader] = process.argv.slice(2);
let failures = 0;
let passes = 0;

function check(ok, what) {
  if (ok) {
    passes++;
  } else {
    failures++;
    console.log('FAIL: ' + what);
  }
}

// Starts the printer on a free port; resolves with { port, stop() }.
function startPrinter(name) {
  const paper = path.resolve(name + '.png');
  const report = path.resolve(name + '.json');
  const child = spawn(vp, ['--tcp', '0', '--paper-width', '576', '--paper', paper,
                           '--report', report, '--no-font'].filter((a) => a !== '--no-font'));
  let out = '';
  return new Promise((resolve, reject) => {
    child.on('error', reject);
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/tcp: 127\.0\.0\.1:(\d+)/);
      if (m) {
        resolve({
          port: Number(m[1]),
          stop: () => new Promise((done) => {
            child.on('exit', () => done({
              paper,
              report: JSON.parse(fs.readFileSync(report, 'utf8')),
            }));
            child.kill('SIGTERM');
          }),
        });
      }
    });
    child.on('exit', (code) => reject(new Error('the printer ended early (' + code + '): ' + out)));
  });
}

function sendBytes(port, bytes) {
  return new Promise((resolve, reject) => {
    const s = net.connect(port, '127.0.0.1', () => s.end(Buffer.from(bytes)));
    s.on('error', reject);
    s.on('close', resolve);
  });
}

// What a symbol decodes to when it is right: its data without code-set prefixes.
function expectedText(symbol) {
  return symbol.kind === 'CODE128' ? symbol.data.replace(/^\{[ABC]/, '') : symbol.data;
}

function checkPrintout(name, result, wantLines, wantRefused) {
  const { report, paper } = result;
  check(report.unknown_count === 0,
        `${name}: unknown commands ${JSON.stringify(report.unknown)}`);
  const lines = report.lines.map((l) => l.text.trimEnd());
  check(JSON.stringify(lines) === JSON.stringify(wantLines),
        `${name}: printed lines\n  got  ${JSON.stringify(lines)}\n  want ${JSON.stringify(wantLines)}`);
  const printed = report.symbols.filter((s) => s.printed);
  const refused = report.symbols.filter((s) => !s.printed).map((s) => s.kind);
  check(JSON.stringify(refused) === JSON.stringify(wantRefused),
        `${name}: refused symbols ${JSON.stringify(report.symbols.filter((s) => !s.printed))}`);
  check(printed.length > 0, `${name}: no symbol printed`);
  const boxes = printed.map((s) => `${s.x},${s.y},${s.width},${s.height}`);
  const decoded = execFileSync(reader, [paper, ...boxes], { encoding: 'utf8' })
    .split('\n').filter((l) => l.length > 0).map((l) => JSON.parse(l));
  printed.forEach((s, i) => {
    check(decoded[i] === expectedText(s),
          `${name}: ${s.kind} decodes to ${JSON.stringify(decoded[i])}, sent ${JSON.stringify(s.data)}`);
  });
}

// The example receipt that node-thermal-printer ships (examples/example.js), run as it is
// against the printer's address. Its printBarcode() call passes no bar code system, so the
// library sends system 0 (UPC-A) with a length byte in front of the digits: a printer
// refuses that data and prints nothing, which is what the report must say.
async function thermalPrinterExample() {
  const printer = await startPrinter('node-thermal-printer');
  const dir = path.dirname(require.resolve('node-thermal-printer/package.json'));
  execFileSync(process.execPath, ['examples/example.js', `tcp://127.0.0.1:${printer.port}`],
               { cwd: dir, stdio: 'ignore' });
  const result = await printer.stop();
  const rule = '-'.repeat(48);
  checkPrintout('node-thermal-printer', result, [
    'Hello World!', 'This is a long line that will be collapsed into', 'two lines', rule,
    'Hello World upside down!', rule, 'Hello World inverted!', rule,
    'Special characters: ČčŠšŽžĐđĆćß?öÖÄäüÜé',  // no code page has ẞ: the library sends "?"
    rule, 'Type font B', 'Type font A', rule,
    'This text is on the left', 'This text is in the middle', 'This text is on the right', rule,
    'This is double height', 'This is double width', 'This is quad', 'Wow', 'This is normal',
    rule, 'Draw a line with a custom character', '='.repeat(48),
    'Left' + ' '.repeat(39) + 'Right',
    'One         Two         Three       Four',
    'Left' + ' '.repeat(23) + 'Center' + ' '.repeat(9) + 'Right',
    'Left      Center      Right',
  ], ['UPC-A']);
}

// A receipt built from receipt-printer-encoder's documented examples (usage and commands),
// sent over a socket as its network printing does.
async function receiptPrinterEncoderExample() {
  const ReceiptPrinterEncoder = require('@point-of-sale/receipt-printer-encoder');
  const encoder = new ReceiptPrinterEncoder({ columns: 48 });
  const bytes = encoder
    .initialize()
    .codepage('auto')
    .text('The quick brown fox jumps over the lazy dog')
    .newline()
    .qrcode('https://nielsleenheer.com')
    .newline()
    .line('Crème brûlée, smørrebrød, Привет: 5 €')
    .bold(true).line('Bold').bold(false)
    .underline(true).line('Underline').underline(false)
    .invert(true).line('Invert').invert(false)
    .size(2, 2).line('Large').size(1, 1)
    .font('B').line('Small text').font('A')
    .align('right').line('Right').align('left')
    .table([{ width: 36, align: 'left' }, { width: 10, align: 'right' }],
           [['Item 1', '€ 10,00'], ['Item 2', '€ 5,00']])
    .rule()
    .box({ width: 30, align: 'left', style: 'double' }, 'Boxed text')
    .barcode('3130630574613', 'ean13', 60)
    .barcode('CODE128 TEST', 'code128', 60)
    .pdf417('The quick brown fox')
    .cut()
    .encode();
  const printer = await startPrinter('receipt-printer-encoder');
  await sendBytes(printer.port, bytes);
  const result = await printer.stop();
  checkPrintout('receipt-printer-encoder', result, [
    'The quick brown fox jumps over the lazy dog',
    'Crème brûlée, smørrebrød, Привет: 5 €', 'Bold', 'Underline', 'Invert', 'Large',
    'Small text', ' '.repeat(43) + 'Right',  // the library aligns with spaces
    'Item 1' + ' '.repeat(33) + '€ 10,00', 'Item 2' + ' '.repeat(34) + '€ 5,00',
    '─'.repeat(48),
    '╔' + '═'.repeat(28) + '╗', '║Boxed text' + ' '.repeat(18) + '║', '╚' + '═'.repeat(28) + '╝',
  ], []);
}

(async () => {
  try {
    await thermalPrinterExample();
    await receiptPrinterEncoderExample();
  } catch (e) {
    failures++;
    console.log('FAIL: ' + (e.stack || e));
  }
  console.log(`${passes} passed, ${failures} failed`);
  process.exit(failures ? 1 : 0);
})();
