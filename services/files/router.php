<?php
// Router of the reference file server (php -S ... router.php). The two scripts run; anything
// else is sent as plain bytes from under the document root. Nothing a client stored is ever
// executed, whatever its name.
$root = realpath($_SERVER['DOCUMENT_ROOT']);
$path = rawurldecode(parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH) ?? '/');

if ($path === '/hostUploadCheckWork.php' || $path === '/deleteCheckWork.php') {
    // a switch for the tests of a failing server: with lib/fail present every request is a 500
    if (file_exists($root . '/lib/fail')) {
        http_response_code(500);
        header('Content-Type: text/plain; charset=utf-8');
        echo "internal error\n";
        return true;
    }
    require $root . $path;
    return true;
}

function not_found(): bool {
    http_response_code(404);
    header('Content-Type: text/plain; charset=utf-8');
    echo "not found\n";
    return true;
}

if ($_SERVER['REQUEST_METHOD'] !== 'GET' && $_SERVER['REQUEST_METHOD'] !== 'HEAD') {
    http_response_code(405);
    header('Allow: GET, HEAD');
    return true;
}
$file = realpath($root . $path);
if ($file === false || !is_file($file) || strpos($file, $root . '/') !== 0
    || strpos($file, $root . '/lib/') === 0 || str_ends_with($file, '.php'))
    return not_found();

$types = ['pdf' => 'application/pdf', 'htm' => 'text/html; charset=utf-8', 'html' => 'text/html; charset=utf-8',
          'docx' => 'application/vnd.openxmlformats-officedocument.wordprocessingml.document',
          'doc' => 'application/msword', 'png' => 'image/png', 'jpg' => 'image/jpeg', 'css' => 'text/css'];
$ext = strtolower(pathinfo($file, PATHINFO_EXTENSION));
// Stored works are never shown as pages, whatever they hold.
$stored = strpos($file, $root . '/testedwork/') === 0 || strpos($file, $root . '/untestedwork/') === 0;
$type = $types[$ext] ?? 'application/octet-stream';
if ($stored && $type !== 'application/pdf') $type = 'application/octet-stream';
header('Content-Type: ' . $type);
header('Content-Length: ' . filesize($file));
header('X-Content-Type-Options: nosniff');
if ($_SERVER['REQUEST_METHOD'] === 'GET') readfile($file);
return true;
